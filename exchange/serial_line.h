#pragma once
// The serial line as the port component sees it: a byte pipe to one device with a fixed line format.
// The POSIX implementation (posix_serial_line.h) drives a real tty; tests use a scripted fake.
//
// Every call returns a short count or false instead of raising; a line that is not open reads and
// writes nothing. Texts (error reasons) are UTF-8.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace exchange {

enum class LineParity { None, Odd, Even, Mark, Space };
enum class LineStopBits { One, OnePointFive, Two };

// The line format: always 8 data bits and no flow control.
struct LineFormat {
    std::uint32_t baud = 9600; // bits per second, any positive value
    LineParity parity = LineParity::None;
    LineStopBits stopBits = LineStopBits::One;
};

// What configure() actually put on the line.
struct AppliedFormat {
    bool ok = false;               // the driver accepted the format
    std::uint32_t baud = 0;        // the speed the driver reports back (0 when unknown)
    bool stopBitsReplaced = false; // 1.5 stop bits were asked and 2 are used instead
    std::string reason;            // the system's reason when ok is false
};

// Limits of one read: the first byte may take until `total` has passed; after that the read also
// ends when no byte arrives for `interByte`.
struct ReadLimits {
    std::chrono::milliseconds total{0};
    std::chrono::milliseconds interByte{0};
};

class SerialLine {
  public:
    virtual ~SerialLine() = default;

    // Opens the device at `path` for exclusive reading and writing. On failure returns false and sets
    // `reason` to the system's explanation (naming the dialout group when access is denied).
    virtual bool open(const std::string& path, std::string& reason) = 0;
    // Closes the device; does nothing when it is not open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sets speed, parity and stop bits (8 data bits, raw, no flow control).
    virtual AppliedFormat configure(const LineFormat& format) = 0;
    // Sets the DTR and RTS modem lines. False when the device has no modem lines (a pseudo-terminal).
    virtual bool setModemLines(bool dtr, bool rts) = 0;

    // Reads at most buffer.size() bytes within `limits`; returns the count (0 on timeout or error).
    virtual std::size_t read(std::span<std::uint8_t> buffer, ReadLimits limits) = 0;
    // Writes the bytes, taking at most `total`; returns how many were accepted.
    virtual std::size_t write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) = 0;

    // Bytes waiting in the input queue (0 when closed or unknown).
    virtual std::size_t inputCount() = 0;
    // Waits until the output queue has been sent.
    virtual void drain() = 0;
    // Discards both queues.
    virtual void discard() = 0;

    // Called over and over while read() or write() waits for the line, at least every kWaitSlice, so a
    // front end can keep its window painting during a long timeout and end the wait when the user
    // cancels: a hook that returns true ends the wait at once, the call returns its short count and
    // waitAbandoned() is true until the next read or write. The hook must not use this line. The waits
    // keep their limits: the hook's own time counts against them.
    using WaitHook = std::function<bool()>;
    static constexpr std::chrono::milliseconds kWaitSlice{20};
    void setWaitHook(WaitHook hook) { m_waitHook = std::move(hook); }
    bool waitAbandoned() const { return m_abandoned; }

  protected:
    bool hasWaitHook() const { return static_cast<bool>(m_waitHook); }
    // Called as a read or write begins.
    void beginWait() { m_abandoned = false; }
    // Called while waiting; true when the hook ended the wait.
    bool waiting() {
        if (m_waitHook && m_waitHook())
            m_abandoned = true;
        return m_abandoned;
    }

  private:
    WaitHook m_waitHook;
    bool m_abandoned = false;
};

} // namespace exchange
