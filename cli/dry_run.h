#pragma once
// --dry-run: a device job runs against the simulated device in memory instead of a port. Nothing is
// sent anywhere; the frames are printed as a trace would hold them, and the job ends with its page
// count and the time it would take on the profile's line: the wire time of every frame and answer
// (best case) and every attempt waiting out its answer timeout (worst case).

#include "exchange/exchange_observer.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace app {
class SettingsStore;
}
namespace protocol {
class TProtocol;
}
namespace sim {
class SimSerialLine;
}

namespace cli {

class DryRun final : public exchange::ExchangeObserver {
  public:
    // `line` and `trace` (the trace writer around it) must outlive this.
    DryRun(sim::SimSerialLine& line, exchange::ExchangeObserver& trace);

    // Puts a blank device on the line as the profile describes it: FLASH window, page size, record
    // area, password and bus address.
    void setDevice(const app::SettingsStore& store, const std::string& profile, int address,
                   const std::string& password, const protocol::TProtocol& protocol);

    void attemptStarting(std::string_view command, int retry) override;
    void attemptEnded(exchange::ExchangeResult result) override;

    // The summary line.
    void report(std::FILE* out, int pages) const;

  private:
    sim::SimSerialLine& m_line;
    exchange::ExchangeObserver& m_trace;
    const protocol::TProtocol* m_protocol = nullptr;
    std::uint64_t m_attempts = 0;
    std::uint64_t m_timeoutMs = 0; // the answer timeouts of all attempts
};

} // namespace cli
