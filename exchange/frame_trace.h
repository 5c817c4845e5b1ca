#pragma once
// The frame trace file: one line per frame sent or answer received, written by velmora-cli and
// velmora-sim alike so that both sides of a line can be laid side by side. docs/automation.md
// describes the format:
//   TIME_US <tab> TX|RX <tab> COMMAND <tab> RETRY <tab> RESULT <tab> HEX BYTES
// TIME_US is the monotonic clock in microseconds (comparable between processes on one machine);
// RETRY and RESULT are "-" where the writer has none.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace exchange {

struct TraceRecord {
    std::int64_t micros = 0;
    bool sent = true; // TX from the writer's side, else RX
    std::string_view command;
    std::optional<int> retry;
    std::optional<int> result;
    std::span<const std::uint8_t> bytes;
};

// Microseconds of the monotonic clock.
std::int64_t traceClock();

// One trace line without its line end.
std::string traceLine(const TraceRecord& record);

class FrameTraceFile {
  public:
    FrameTraceFile() = default;
    ~FrameTraceFile();
    FrameTraceFile(const FrameTraceFile&) = delete;
    FrameTraceFile& operator=(const FrameTraceFile&) = delete;

    // Creates or empties the file (or, with `append`, adds to it). False with the system's reason in `error`.
    bool open(const std::string& path, std::string& error, bool append = false);
    // Each line reaches the file at once, so a job that ends abruptly leaves its trace.
    void write(const TraceRecord& record);

  private:
    std::FILE* m_file = nullptr;
};

} // namespace exchange
