#include "exchange/traced_line.h"

namespace exchange {

TracedLine::TracedLine(std::unique_ptr<SerialLine> inner, std::unique_ptr<FrameTraceFile> trace)
    : m_inner(std::move(inner)), m_trace(std::move(trace)) {
    // The front end's wait hook is set on this line; the inner line asks it through here, so that a
    // cancel ends the inner wait and shows as this line's abandoned wait.
    m_inner->setWaitHook([this] { return waiting(); });
}

bool TracedLine::open(const std::string& path, std::string& reason) {
    return m_inner->open(path, reason);
}

void TracedLine::close() {
    m_inner->close();
}

bool TracedLine::isOpen() const {
    return m_inner->isOpen();
}

AppliedFormat TracedLine::configure(const LineFormat& format) {
    return m_inner->configure(format);
}

bool TracedLine::setModemLines(bool dtr, bool rts) {
    return m_inner->setModemLines(dtr, rts);
}

std::size_t TracedLine::read(std::span<std::uint8_t> buffer, ReadLimits limits) {
    beginWait();
    const std::size_t n = m_inner->read(buffer, limits);
    // Bytes cleared from the queue before a frame goes out belong to no answer.
    if (n > 0 && m_inAttempt) {
        if (m_answer.empty())
            m_answerStart = traceClock();
        m_answer.insert(m_answer.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
    }
    return n;
}

std::size_t TracedLine::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) {
    beginWait();
    const std::int64_t at = traceClock();
    const std::size_t n = m_inner->write(bytes, total);
    if (m_trace)
        m_trace->write({at, true, m_command, m_retry, std::nullopt, bytes.first(n)});
    return n;
}

std::size_t TracedLine::inputCount() {
    return m_inner->inputCount();
}

void TracedLine::drain() {
    m_inner->drain();
}

void TracedLine::discard() {
    m_inner->discard();
}

void TracedLine::attemptStarting(std::string_view command, int retry) {
    m_command = command;
    m_retry = retry;
    m_inAttempt = true;
    m_answer.clear();
}

void TracedLine::attemptEnded(ExchangeResult result) {
    if (!m_inAttempt)
        return;
    m_inAttempt = false;
    const std::int64_t at = m_answer.empty() ? traceClock() : m_answerStart;
    if (m_trace)
        m_trace->write({at, false, m_command, m_retry, result, m_answer});
    m_answer.clear();
}

} // namespace exchange
