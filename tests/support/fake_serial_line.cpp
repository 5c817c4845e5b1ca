#include "support/fake_serial_line.h"

#include <algorithm>

namespace testsupport {

void FakeLineState::arriveAfter(std::chrono::milliseconds delay, std::vector<std::uint8_t> bytes) {
    const std::chrono::milliseconds at = clock + std::max(delay, std::chrono::milliseconds(0));
    // After every arrival due at the same moment, so that bursts keep the order they were given in.
    const auto place =
        std::upper_bound(m_later.begin(), m_later.end(), at,
                         [](std::chrono::milliseconds t, const Arrival& a) { return t < a.at; });
    m_later.insert(place, Arrival{at, std::move(bytes)});
}

void FakeLineState::settle() {
    while (!m_later.empty() && m_later.front().at <= clock) {
        input.insert(input.end(), m_later.front().bytes.begin(), m_later.front().bytes.end());
        m_later.pop_front();
    }
}

bool FakeSerialLine::open(const std::string& path, std::string& reason) {
    m_state->calls.push_back("open " + path);
    if (!m_state->failOpenReason.empty()) {
        reason = m_state->failOpenReason;
        return false;
    }
    m_state->open = true;
    return true;
}

void FakeSerialLine::close() {
    m_state->calls.push_back("close");
    m_state->open = false;
}

exchange::AppliedFormat FakeSerialLine::configure(const exchange::LineFormat& format) {
    static const char kParity[] = {'N', 'O', 'E', 'M', 'S'};
    static const char* const kStop[] = {"1", "1.5", "2"};
    m_state->calls.push_back("configure " + std::to_string(format.baud) + " " +
                             kParity[static_cast<int>(format.parity)] + " " +
                             kStop[static_cast<int>(format.stopBits)]);
    exchange::AppliedFormat applied;
    applied.ok = m_state->open;
    applied.baud = m_state->reportedBaud ? m_state->reportedBaud : format.baud;
    applied.stopBitsReplaced = format.stopBits == exchange::LineStopBits::OnePointFive;
    return applied;
}

bool FakeSerialLine::setModemLines(bool dtr, bool rts) {
    m_state->calls.push_back(std::string("modem DTR=") + (dtr ? "1" : "0") + " RTS=" + (rts ? "1" : "0"));
    return m_state->modemLinesWork;
}

bool FakeSerialLine::awaitArrival(std::chrono::milliseconds until) {
    FakeLineState& s = *m_state;
    if (s.m_later.empty() || s.m_later.front().at > until) {
        s.clock = std::max(s.clock, until);
        return false;
    }
    s.clock = std::max(s.clock, s.m_later.front().at);
    s.settle();
    return true;
}

std::size_t FakeSerialLine::read(std::span<std::uint8_t> buffer, exchange::ReadLimits limits) {
    FakeLineState& s = *m_state;
    s.reads.push_back(limits);
    if (!s.open)
        return 0;
    s.settle();
    // The same limits as on a real line: the first byte until `total`, then also a gap of `interByte`.
    const std::chrono::milliseconds end = s.clock + limits.total;
    std::size_t n = 0;
    while (n < buffer.size()) {
        if (s.input.empty() && !awaitArrival(n == 0 ? end : std::min(end, s.clock + limits.interByte)))
            break;
        buffer[n++] = s.input.front();
        s.input.pop_front();
    }
    return n;
}

std::size_t FakeSerialLine::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) {
    if (!m_state->open)
        return 0;
    std::vector<std::uint8_t> frame(bytes.begin(), bytes.end());
    m_state->written.insert(m_state->written.end(), frame.begin(), frame.end());
    if (m_state->onWrite)
        m_state->onWrite(frame, *m_state);
    return bytes.size();
}

std::size_t FakeSerialLine::inputCount() {
    if (!m_state->open)
        return 0;
    m_state->settle();
    return m_state->input.size();
}

void FakeSerialLine::discard() {
    m_state->calls.push_back("discard");
    m_state->settle();
    m_state->input.clear();
}

} // namespace testsupport
