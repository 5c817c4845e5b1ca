#pragma once
// One device job's events for --json: the start with the range it pages, each page as it is done,
// the device's error and the result. Does nothing unless enabled, so the commands call it always.

#include "cli/json_events.h"
#include "exchange/operation_sequencer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cli {

class DeviceSession;

class JobEvents {
  public:
    JobEvents(bool enabled, DeviceSession& session, std::string operation);

    // The start of a job that pages [first, last] (none when first < 0); writes clip the last page.
    void start(int32_t first = -1, int32_t last = -1);
    // Around each tick of the sequencer: a page that went through becomes a `page` event.
    void beforeTick(const exchange::OperationSequencer& seq);
    void afterTick(const exchange::OperationSequencer& seq);
    // The device's error (a failing exchange result k + 1) and the result; returns exitCode.
    int finish(int exitCode, int32_t lastResult, std::optional<uint32_t> crc = std::nullopt);

    // Told of each page the device acknowledged, also without --json.
    std::function<void(int32_t page, uint32_t address)> onPageDone;

  private:
    bool m_enabled;
    DeviceSession& m_session;
    std::string m_operation;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    int32_t m_last = -1;
    int m_pageSize = 0;
    int32_t m_page = 0;
    uint32_t m_address = 0;
    int m_errors = 0;
    int m_pagesDone = 0;
};

} // namespace cli
