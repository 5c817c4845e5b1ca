#include "cli/device_session.h"

#include "app/integer_text.h"
#include "app/profiles.h"
#include "app/protocol_path.h"
#include "app/settings_location.h"
#include "base/file_reader.h"
#include "cli/dry_run.h"
#include "cli/interrupt_catcher.h"
#include "cli/json_events.h"
#include "cli/path_arguments.h"
#include "cli/session_line.h"
#include "cli/settings_check.h"
#include "cli/terminal_line.h"
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

DeviceSession::DeviceSession(const std::string& settingsPath) : m_store(settingsPath) {}

DeviceSession::~DeviceSession() = default;

std::unique_ptr<DeviceSession> DeviceSession::open(const CliContext& cli) {
    const auto path = app::resolveSettingsPath(cli.settingsPath, app::programDirectory(),
                                               app::currentSettingsEnvironment());
    // A missing settings file reads as defaults; one that exists but cannot be read is not taken for it.
    std::vector<uint8_t> probe;
    const base::ReadStatus status = base::readFileStart(path, 0, probe);
    if (status != base::ReadStatus::Ok && status != base::ReadStatus::Missing) {
        std::fprintf(stderr, "device: settings file %s: %s\n", path.c_str(), readFailureText(status));
        return nullptr;
    }
    std::string lineError;
    SessionLine line = makeSessionLine(cli, lineError);
    if (!line.line) {
        std::fprintf(stderr, "%s\n", lineError.c_str());
        return nullptr;
    }
    std::unique_ptr<DeviceSession> s(new DeviceSession(path.string()));
    s->m_logSink = std::make_unique<ErrorOutputLog>(cli.quiet);
    s->m_log.attach(s->m_logSink.get());
    if (cli.json)
        s->m_messages = std::make_unique<JsonMessages>();
    else
        s->m_messages = std::make_unique<ErrorOutputMessages>();
    s->m_device = std::make_unique<app::DeviceSession>(
        std::move(line.line),
        app::DeviceSurroundings{s->m_store, s->m_state, s->m_image, s->m_log, *s->m_messages, s->m_view});

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
    base::CrcParameters crc = app::readImageCrcParams(s->m_store, *profile);
    s->m_image.SetCRCParams(crc.width, crc.polynom, crc.xorValue, crc.tableSwap, crc.reflected, crc.initial);

    const std::string stored = s->m_store.readString(app::Setting::ProtocolPath, *profile);
    const std::string protocolPath = app::ExpandProtocolPath(stored, app::programDirectory());
    if (protocolPath.empty()) {
        std::fprintf(stderr,
                     "device: profile '%s' names no protocol description (\\Connection/protocolFile) in %s\n",
                     profile->c_str(), settingsFileText(s->m_store, *profile).c_str());
        return nullptr;
    }
    uint32_t computed = 0;
    const int read = protocol::CheckProtocolFileCRC(protocolPath, computed)
                         ? protocol::ReadProtocolFile(s->protocol(), protocolPath)
                         : protocol::kReadDamaged;
    if (read != protocol::kReadOk) {
        std::fprintf(stderr, "device: protocol description %s: %s\n", protocolPath.c_str(),
                     protocolReadText(read));
        return nullptr;
    }
    s->m_state.activeProfile = *profile;
    s->m_state.deviceAddress = address;
    s->m_state.password = s->m_store.readString(app::Setting::Password, *profile);
    s->m_state.communicationDisabled = false;

    app::ExchangeDeviceHost& host = s->host();
    host.line = {cli.port, cli.baudIndex, cli.parity};
    if (cli.repeatGarbled)
        s->m_device->link().repeatGarbledOverride = true;
    s->m_device->context().observer = line.observer;
    s->m_dryRun = std::move(line.dryRun);
    if (s->m_dryRun)
        s->m_dryRun->setDevice(s->m_store, *profile, address, s->m_state.password, s->protocol());
    s->m_device->comm().setWaitHook(InterruptCatcher::interruptRequested);
    s->m_log.setDeviceAddressSource([state = &s->m_state] { return state->deviceAddress; });
    if (cli.port.empty() && !cli.dryRun && settingsNameNoPort(s->m_store)) {
        host.applyPortSettings();
        std::fprintf(stderr, "device: neither %s nor --port names a port; opening %s (COM%d)\n",
                     settingsFileText(s->m_store, *profile).c_str(), s->portPath().c_str(),
                     s->m_device->comm().ComNo());
    }
    return s;
}

exchange::FlashWindow DeviceSession::flashWindow() {
    return m_device->host().flashWindow();
}

} // namespace cli
