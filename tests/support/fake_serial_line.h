#pragma once
// A scripted serial line for unit tests of code above the line (the port component, the exchange).
// Nothing waits: a read returns what is queued at once and records the limits it was given, so tests
// check the timeouts asked for instead of measuring them.

#include "exchange/serial_line.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

struct FakeLineState {
    // What the code under test did, one entry per call: "open PATH", "configure 9600 N 1", "modem DTR=0
    // RTS=1", "drain", "discard", "close". Reads and writes are recorded separately.
    std::vector<std::string> calls;
    bool open = false;
    std::string failOpenReason;     // when not empty, open() fails with it
    bool modemLinesWork = true;     // setModemLines() result
    std::uint32_t reportedBaud = 0; // speed configure() reports back; 0 = the one asked for
    std::deque<std::uint8_t> input; // bytes the next reads return
    std::vector<std::uint8_t> written;
    std::vector<exchange::ReadLimits> reads;
    // Called after every write with the bytes written: the scripted device answers by filling `input`.
    std::function<void(const std::vector<std::uint8_t>&, FakeLineState&)> onWrite;
};

class FakeSerialLine final : public exchange::SerialLine {
  public:
    explicit FakeSerialLine(std::shared_ptr<FakeLineState> state) : m_state(std::move(state)) {}

    bool open(const std::string& path, std::string& reason) override;
    void close() override;
    bool isOpen() const override { return m_state->open; }
    exchange::AppliedFormat configure(const exchange::LineFormat& format) override;
    bool setModemLines(bool dtr, bool rts) override;
    std::size_t read(std::span<std::uint8_t> buffer, exchange::ReadLimits limits) override;
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    std::size_t inputCount() override { return m_state->open ? m_state->input.size() : 0; }
    void drain() override { m_state->calls.push_back("drain"); }
    void discard() override;

  private:
    std::shared_ptr<FakeLineState> m_state;
};

} // namespace testsupport
