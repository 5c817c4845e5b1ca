#pragma once
// The simulated device behind the serial line interface, in memory: a frame written is handed to the
// device at once and its answer waits to be read. A job runs against it without any port (a dry run);
// it counts the bytes each way, to estimate the time the job would take on a real line.

#include "exchange/serial_line.h"
#include "sim/sim_device.h"

#include <deque>
#include <memory>

namespace sim {

class SimSerialLine final : public exchange::SerialLine {
  public:
    SimSerialLine() = default;

    // The device on the line; until set, nothing answers.
    void setDevice(std::unique_ptr<SimDevice> device) { m_device = std::move(device); }
    // Every byte written comes back first, as on a two-wire line with echo.
    void setEcho(bool echo) { m_echo = echo; }

    bool open(const std::string& path, std::string& reason) override;
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    exchange::AppliedFormat configure(const exchange::LineFormat& format) override;
    bool setModemLines(bool, bool) override { return false; }
    std::size_t read(std::span<std::uint8_t> buffer, exchange::ReadLimits limits) override;
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;
    std::size_t inputCount() override { return m_pending.size(); }
    void drain() override {}
    void discard() override { m_pending.clear(); }

    std::uint64_t bytesSent() const { return m_sent; }
    std::uint64_t bytesReceived() const { return m_received; }
    std::uint32_t baud() const { return m_baud; }
    bool parity() const { return m_parity; }

  private:
    std::unique_ptr<SimDevice> m_device;
    bool m_echo = false;
    bool m_open = false;
    std::deque<std::uint8_t> m_pending;
    std::uint64_t m_sent = 0, m_received = 0;
    std::uint32_t m_baud = 9600;
    bool m_parity = false;
};

} // namespace sim
