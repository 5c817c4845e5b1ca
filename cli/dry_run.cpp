#include "cli/dry_run.h"

#include "app/settings_keys.h"
#include "app/settings_store.h"
#include "base/codepage.h"
#include "exchange/command_exchange.h"
#include "protocol/protocol_command.h"
#include "protocol/protocol_description.h"
#include "sim/sim_serial_line.h"

namespace cli {

DryRun::DryRun(sim::SimSerialLine& line, exchange::ExchangeObserver& trace) : m_line(line), m_trace(trace) {}

void DryRun::setDevice(const app::SettingsStore& store, const std::string& profile, int address,
                       const std::string& password, const protocol::TProtocol& protocol) {
    m_protocol = &protocol;
    sim::DeviceConfig config;
    config.flashStart = static_cast<uint32_t>(store.readInteger(app::Setting::FlashStart, profile));
    config.flashEnd = static_cast<uint32_t>(store.readInteger(app::Setting::FlashEnd, profile));
    config.pageSize = static_cast<uint32_t>(store.readInteger(app::Setting::PageSize, profile));
    config.ctrlArea = static_cast<uint32_t>(store.readInteger(app::Setting::CtrlArea, profile));
    config.password = base::utf8ToCp1251(password).value_or(password);
    m_line.setEcho(store.readBool(app::Setting::Echo));
    // Settings the simulated device cannot take leave the line silent: the job then shows what the
    // program does when nothing answers.
    if (!sim::validateConfig(config).empty() || address < 1 || address > 247)
        return;
    sim::RecordOverrides record;
    record.address = static_cast<uint8_t>(address);
    m_line.setDevice(std::make_unique<sim::SimDevice>(config, std::vector<uint8_t>{}, record));
}

void DryRun::attemptStarting(std::string_view command, int retry) {
    ++m_attempts;
    const protocol::TprCOMMAND* found = m_protocol ? m_protocol->Commands.FindByName(command) : nullptr;
    m_timeoutMs += found ? static_cast<uint64_t>(found->effectiveAnswerTimeout()) : 5000;
    m_trace.attemptStarting(command, retry);
}

void DryRun::attemptEnded(exchange::ExchangeResult result) {
    m_trace.attemptEnded(result);
}

void DryRun::report(std::FILE* out, int pages) const {
    const double bitsPerByte = m_line.parity() ? 11 : 10;
    const double baud = m_line.baud() > 0 ? m_line.baud() : 9600;
    const double sent = static_cast<double>(m_line.bytesSent()) * bitsPerByte / baud;
    const double received = static_cast<double>(m_line.bytesReceived()) * bitsPerByte / baud;
    const double gaps = static_cast<double>(m_attempts) * exchange::answerGapMs(m_line.baud()) / 1000.0;
    const double best = sent + received + gaps;
    // Every attempt of every exchange without an answer: each waits out its timeout, twice repeated.
    const double worst = exchange::kAttempts * (sent + static_cast<double>(m_timeoutMs) / 1000.0);
    std::fprintf(out,
                 "dry run: nothing sent; %d pages, %llu frames (%llu bytes out, %llu in); at %u bit/s about "
                 "%.1f s, at worst %.1f s\n",
                 pages, static_cast<unsigned long long>(m_attempts),
                 static_cast<unsigned long long>(m_line.bytesSent()),
                 static_cast<unsigned long long>(m_line.bytesReceived()), m_line.baud(), best, worst);
}

} // namespace cli
