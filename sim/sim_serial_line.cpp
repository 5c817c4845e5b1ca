#include "sim/sim_serial_line.h"

#include <algorithm>

namespace sim {

bool SimSerialLine::open(const std::string&, std::string&) {
    m_open = true;
    return true;
}

exchange::AppliedFormat SimSerialLine::configure(const exchange::LineFormat& format) {
    m_baud = format.baud;
    m_parity = format.parity != exchange::LineParity::None;
    exchange::AppliedFormat applied;
    applied.ok = true;
    applied.baud = format.baud;
    return applied;
}

std::size_t SimSerialLine::read(std::span<std::uint8_t> buffer, exchange::ReadLimits) {
    beginWait();
    const std::size_t n = std::min(buffer.size(), m_pending.size());
    std::copy_n(m_pending.begin(), n, buffer.begin());
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
    m_received += n;
    return n;
}

std::size_t SimSerialLine::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) {
    beginWait();
    if (!m_open)
        return 0;
    m_sent += bytes.size();
    if (m_echo)
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    if (m_device) {
        const Reply reply = m_device->handleFrame(bytes);
        m_pending.insert(m_pending.end(), reply.bytes.begin(), reply.bytes.end());
    }
    return bytes.size();
}

} // namespace sim
