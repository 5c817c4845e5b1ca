#pragma once
// The serial line on a Linux tty (a UART, a USB adapter or a pseudo-terminal).
//
// Opening: O_NOCTTY|O_NONBLOCK (so a missing carrier cannot block the open), then exclusive access
// through flock and TIOCEXCL, then blocking mode. Line format: raw, 8 data bits, CLOCAL|CREAD, HUPCL
// off, no flow control; any speed (standard codes where they exist, BOTHER otherwise). 1.5 stop bits do
// not exist on Linux: 2 are used and configure() says so. Reads and writes wait with poll().
// A short read takes what the driver already holds, up to a small chunk, and keeps the rest for the
// next read: the exchange reads an answer byte by byte, and one system call per byte cost more than
// the bytes' own time on a fast line. The kept bytes count as input and are discarded with it.

#include "exchange/serial_line.h"

#include <sys/types.h>

#include <array>

namespace exchange {

class PosixSerialLine final : public SerialLine {
  public:
    PosixSerialLine() = default;
    ~PosixSerialLine() override;
    PosixSerialLine(const PosixSerialLine&) = delete;
    PosixSerialLine& operator=(const PosixSerialLine&) = delete;

    // False with a reason when the path cannot be opened, is not a terminal, or another program holds it.
    bool open(const std::string& path, std::string& reason) override;
    void close() override;
    bool isOpen() const override { return m_fd >= 0; }

    AppliedFormat configure(const LineFormat& format) override;
    bool setModemLines(bool dtr, bool rts) override;

    std::size_t read(std::span<std::uint8_t> buffer, ReadLimits limits) override;
    // Writes without blocking beyond `total`, even when the kernel queue is full.
    std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) override;

    std::size_t inputCount() override;
    void drain() override;
    void discard() override;

  private:
    // A poll timeout cut to one wait slice when a wait hook is set.
    int sliced(int timeoutMs) const;
    // Moves kept bytes into `buffer`; returns how many.
    std::size_t takeKept(std::span<std::uint8_t> buffer);
    // One read() from the driver into `buffer`, through the kept chunk when `buffer` is smaller.
    ssize_t readSome(std::span<std::uint8_t> buffer);

    int m_fd = -1;
    std::array<std::uint8_t, 256> m_kept{};
    std::size_t m_keptBegin = 0, m_keptEnd = 0;
};

} // namespace exchange
