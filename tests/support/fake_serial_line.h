#pragma once
// A scripted serial line in memory, for tests of code above the line (the port component, the exchange).
// Nothing waits: the line keeps a clock of its own that a read moves forward by the time it would have
// waited, so bytes can be made to arrive in bursts with pauses between them and a silent device costs
// no real time. Every read records the limits it was given, so tests can check the timeouts asked for.

#include "exchange/serial_line.h"

#include <chrono>
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
    std::deque<std::uint8_t> input; // bytes that have arrived: the next reads return them at once
    std::vector<std::uint8_t> written;
    std::vector<exchange::ReadLimits> reads;
    // Called after every write with the bytes written: the scripted device answers by filling `input`
    // or by arriveAfter().
    std::function<void(const std::vector<std::uint8_t>&, FakeLineState&)> onWrite;

    // The line's own time: reads move it on by as long as they would have waited on a real line.
    std::chrono::milliseconds clock{0};
    // `bytes` arrive `delay` after the line's current time, all at once.
    void arriveAfter(std::chrono::milliseconds delay, std::vector<std::uint8_t> bytes);
    // Moves the bytes whose time has come into `input`.
    void settle();

  private:
    struct Arrival {
        std::chrono::milliseconds at;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Arrival> m_later; // ordered by time

    friend class FakeSerialLine;
};

class FakeSerialLine final : public exchange::SerialLine {
  public:
    explicit FakeSerialLine(std::shared_ptr<FakeLineState> state) : m_state(std::move(state)) {}

    bool open(const std::string& path, std::string& reason) override;
    void close() override;
    bool isOpen() const override { return m_state->open; }
    exchange::AppliedFormat configure(const exchange::LineFormat& format) override;
    bool setModemLines(bool dtr, bool rts) override;
    // Returns the bytes that have arrived, then waits on the line's clock for later ones within the
    // limits, as the POSIX line does on a real clock.
    std::size_t read(std::span<std::uint8_t> buffer, exchange::ReadLimits limits) override;
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    std::size_t inputCount() override;
    void drain() override { m_state->calls.push_back("drain"); }
    // Drops the bytes that have arrived; later ones still come.
    void discard() override;

  private:
    // Waits on the line's clock until the next arrival, if it comes by `until`; false when it does not
    // (the clock is then at `until`).
    bool awaitArrival(std::chrono::milliseconds until);

    std::shared_ptr<FakeLineState> m_state;
};

} // namespace testsupport
