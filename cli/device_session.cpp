#include "cli/device_session.h"

#include "app/integer_text.h"
#include "app/profiles.h"
#include "app/protocol_path.h"
#include "app/settings_location.h"
#include "cli/dry_run.h"
#include "cli/interrupt_catcher.h"
#include "cli/json_events.h"
#include "cli/path_arguments.h"
#include "cli/session_line.h"
#include "cli/settings_check.h"
#include "cli/terminal_line.h"
#include "protocol/evaluator_setup.h"
#include "protocol/file_reader.h"
#include "protocol/vpdf_reader.h"

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

// Texts may carry "\r" line breaks; a terminal gets them as one line.
std::string oneLine(std::string_view text) {
    return app::singleLineText(text);
}

class ErrorOutputMessages final : public app::MessageSink {
  public:
    bool showMessage(std::string_view title, std::string_view text, app::MessageKind) override {
        std::string t = oneLine(title);
        while (!t.empty() && t.back() == ' ')
            t.pop_back();
        std::string line = t.empty() ? oneLine(text) : t + " " + oneLine(text);
        endProgressLine();
        std::fprintf(stderr, "%s\n", line.c_str());
        return true;
    }
};

class ErrorOutputLog final : public app::LogSink {
  public:
    explicit ErrorOutputLog(bool quiet) : m_quiet(quiet) {}
    void lineAdded(const std::string& line) override {
        if (m_quiet)
            return;
        endProgressLine();
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    void errorLogAdded(const std::string& block) override {
        if (m_quiet)
            return;
        endProgressLine();
        std::fprintf(stderr, "%s", block.c_str());
    }

  private:
    bool m_quiet;
};

} // namespace

DeviceSession::DeviceSession(const std::string& settingsPath, std::unique_ptr<exchange::SerialLine> line)
    : m_store(settingsPath), m_evaluator(protocol::makeMainEvaluator()), m_comm(std::move(line)) {}

DeviceSession::~DeviceSession() {
    m_comm.Close();
}

std::unique_ptr<DeviceSession> DeviceSession::open(const CliContext& cli) {
    const auto path = app::resolveSettingsPath(cli.settingsPath, app::programDirectory(),
                                               app::currentSettingsEnvironment());
    // A missing settings file reads as defaults; one that exists but cannot be read is not taken for it.
    std::vector<uint8_t> probe;
    const protocol::ReadStatus status = protocol::readFileStart(path, 0, probe);
    if (status != protocol::ReadStatus::Ok && status != protocol::ReadStatus::Missing) {
        std::fprintf(stderr, "device: settings file %s: %s\n", path.c_str(), readFailureText(status));
        return nullptr;
    }
    std::string lineError;
    SessionLine line = makeSessionLine(cli, lineError);
    if (!line.line) {
        std::fprintf(stderr, "%s\n", lineError.c_str());
        return nullptr;
    }
    std::unique_ptr<DeviceSession> s(new DeviceSession(path.string(), std::move(line.line)));
    s->m_logSink = std::make_unique<ErrorOutputLog>(cli.quiet);
    s->m_log.attach(s->m_logSink.get());
    if (cli.json)
        s->m_messages = std::make_unique<JsonMessages>();
    else
        s->m_messages = std::make_unique<ErrorOutputMessages>();

    const std::string requested =
        cli.profile.empty() ? s->m_store.readString(app::Setting::ActiveProfile) : cli.profile;
    std::optional<std::string> profile = app::validProfileName(requested);
    if (!profile) {
        std::fprintf(stderr, "device: '%s' is not a usable profile name (%s)\n", requested.c_str(),
                     settingsFileText(s->m_store, requested).c_str());
        return nullptr;
    }
    if (auto bad = unconvertibleSetting(s->m_store, *profile)) {
        std::fprintf(stderr, "%s\n", bad->c_str());
        return nullptr;
    }

    int32_t address = s->m_store.readInteger(app::Setting::DevAddress, *profile);
    if (cli.address) {
        std::optional<int32_t> value = app::parseInteger(*cli.address);
        if (!value || *value < 0 || *value > 255) {
            std::fprintf(stderr,
                         "device: --address '%s' is not a bus address 0..255 (decimal, or hexadecimal after "
                         "0x, x or $)\n",
                         cli.address->c_str());
            return nullptr;
        }
        address = static_cast<int32_t>(*value);
    }

    s->m_image.SetAutoCRC(true);
    protocol::CrcParameters crc = app::readImageCrcParams(s->m_store, *profile);
    s->m_image.SetCRCParams(crc.width, crc.polynom, crc.xorValue, crc.tableSwap, crc.reflected, crc.initial);

    protocol::declareProtocolVariables(s->m_evaluator);
    s->m_protocol.Commands.setEvaluator(&s->m_evaluator);
    const std::string stored = s->m_store.readString(app::Setting::ProtocolPath, *profile);
    const std::string protocolPath = app::ExpandProtocolPath(stored, app::programDirectory());
    if (protocolPath.empty()) {
        std::fprintf(stderr,
                     "device: profile '%s' names no protocol description (\\Connection/protocolFile) in %s\n",
                     profile->c_str(), settingsFileText(s->m_store, *profile).c_str());
        return nullptr;
    }
    uint32_t computed = 0;
    if (!protocol::CheckProtocolFileCRC(protocolPath, computed)) {
        std::fprintf(stderr, "Поврежден файл описания протокола! %s\n", protocolPath.c_str());
        return nullptr;
    }
    switch (protocol::ReadProtocolFile(s->m_protocol, protocolPath)) {
    case protocol::kReadOk:
        break;
    case protocol::kReadMissing:
        std::fprintf(stderr, "Не найден файл описания протокола: %s\n", protocolPath.c_str());
        return nullptr;
    case protocol::kReadUnreadable:
        std::fprintf(stderr, "Не могу прочитать файл описания протокола: %s\n", protocolPath.c_str());
        return nullptr;
    default:
        std::fprintf(stderr, "Испорчен файл описания протокола: %s\n", protocolPath.c_str());
        return nullptr;
    }
    s->m_state.activeProfile = *profile;
    s->m_state.deviceAddress = address;
    s->m_state.password = s->m_store.readString(app::Setting::Password, *profile);
    s->m_state.communicationDisabled = false;

    s->m_ctx =
        std::make_unique<exchange::ExchangeContext>(s->m_comm, s->m_protocol, s->m_evaluator, s->m_image,
                                                    s->m_store, s->m_log, *s->m_messages, s->m_state);
    s->m_ctx->line.device = cli.port;
    s->m_ctx->line.baudIndex = cli.baudIndex;
    s->m_ctx->line.parity = cli.parity;
    if (cli.repeatGarbled)
        s->m_ctx->repeatGarbled = true;
    s->m_ctx->observer = line.observer;
    s->m_dryRun = std::move(line.dryRun);
    if (s->m_dryRun)
        s->m_dryRun->setDevice(s->m_store, *profile, address, s->m_state.password, s->m_protocol);
    s->m_comm.setWaitHook(InterruptCatcher::interruptRequested);
    s->m_log.setDeviceAddressSource([state = &s->m_state] { return state->deviceAddress; });
    s->m_host = std::make_unique<CliDeviceHost>(*s->m_ctx, s->m_view);
    if (cli.port.empty() && !cli.dryRun && settingsNameNoPort(s->m_store)) {
        s->m_host->applyPortSettings();
        std::fprintf(stderr, "device: neither %s nor --port names a port; opening %s (COM%d)\n",
                     settingsFileText(s->m_store, *profile).c_str(), s->portPath().c_str(),
                     s->m_comm.ComNo());
    }
    return s;
}

exchange::FlashWindow DeviceSession::flashWindow() {
    return m_host->flashWindow();
}

} // namespace cli
