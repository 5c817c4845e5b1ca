#include "support/fake_serial_line.h"

namespace testsupport {

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

std::size_t FakeSerialLine::read(std::span<std::uint8_t> buffer, exchange::ReadLimits limits) {
    m_state->reads.push_back(limits);
    if (!m_state->open)
        return 0;
    std::size_t n = 0;
    while (n < buffer.size() && !m_state->input.empty()) {
        buffer[n++] = m_state->input.front();
        m_state->input.pop_front();
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

void FakeSerialLine::discard() {
    m_state->calls.push_back("discard");
    m_state->input.clear();
}

} // namespace testsupport
