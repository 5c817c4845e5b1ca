#pragma once
// TComm: the program's serial port component. It opens a numbered port with a fixed line format, reads
// and writes bytes synchronously with millisecond timeouts and clears the port's queues. It has no
// thread of its own: every call blocks the caller until the line returns.
//
// Port number n opens the device path set with setDevicePath() when that is not empty, otherwise
// /dev/ttyS(n-1). Texts given to the log are UTF-8.

#include "exchange/serial_line.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace exchange {

// Line speeds by index, in the order the settings store them. An index outside the table means 9600.
enum TBaudRate : int {
    BR____110,
    BR____300,
    BR____600,
    BR___1200,
    BR___2400,
    BR___4800,
    BR___9600,
    BR__14400,
    BR__19200,
    BR__38400,
    BR__56000,
    BR__57600,
    BR_115200,
    BR_128000,
    BR_256000,
};
enum TStopBits : int { SB_ONESTOPBIT, SB_ONE5STOPBITS, SB_TWOSTOPBITS };
enum TParity : int { No_Parity, Odd_Parity, Even_Parity, Mark_Parity, Space_Parity };

inline constexpr int kBaudRateCount = 15;
// Bits per second of a TBaudRate index; 9600 for an index outside 0..14.
std::uint32_t baudRateBits(int index);
// The device path of port `comNo` when no explicit path is set: /dev/ttyS(comNo-1).
std::string defaultDevicePath(int comNo);

class TComm {
  public:
    using Notification = std::function<void()>;
    using LogSink = std::function<void(const std::string&)>;

    // The component owns its line. Defaults as at construction: 9600 bit/s, one stop bit, no parity,
    // port 2, queues of 300 bytes, 1000 ms read and write timeouts.
    explicit TComm(std::unique_ptr<SerialLine> line);
    // Closes the port first.
    ~TComm();
    TComm(const TComm&) = delete;
    TComm& operator=(const TComm&) = delete;

    // Opens the port ComNo. True when it is open afterwards. When the device cannot be opened the log
    // gets the path and the system's reason (also kept in LastOpenError()); the caller tells the user.
    // Failures after the device opened (line format, modem lines) are logged and do not fail Open.
    bool Open();
    // ComNo := n, then Open.
    bool OpenPort(int n);
    // Raises OnDeActivate, drains the output, discards both queues and closes. Nothing when closed.
    void Close();
    bool IsOpen() const;

    // Bytes written; at most WriteTimeout × count + WriteTimeout ms. 0 on a closed port. Waits until
    // the output has been drained, and notes when the frame's last bit leaves by the line's speed.
    int Write(const std::uint8_t* buffer, int count);
    // What is left of the wire time of the last Write, counted from when it began (zero once past).
    // The kernel and some USB adapters report a drain before the bytes are out, and a pseudo-terminal
    // has no wire time at all: an answer wait starts this much later.
    std::chrono::milliseconds RemainingWireTime() const;
    // Bytes read; ends when all arrived, after ReadTimeout ms without a byte once one came, or after
    // ReadTimeout × count + ReadTimeout ms in total. 0 on a closed port or timeout (not an error).
    int Read(std::uint8_t* buffer, int count);
    // True when exactly one byte was read; a single-byte read waits at most 2 × ReadTimeout.
    bool ReadByte(std::uint8_t& byte);
    // When open: waits until the output has been sent, then discards both queues.
    void PurgeBuffers();
    // Bytes waiting in the input queue; 0 when closed.
    int InputCount();
    // True when the last Read returned no byte.
    bool LastReadEmpty() const { return m_noByte; }

    int BaudRate() const { return m_baudRate; }
    // Applies the new speed at once on an open port.
    void setBaudRate(int index);
    TStopBits StopBits() const { return m_stopBits; }
    // Applies at once on an open port. 1.5 stop bits are sent as 2 (logged once).
    void setStopBits(TStopBits stopBits);
    TParity Parity() const { return m_parity; }
    void setParity(TParity parity);
    int ComNo() const { return m_comNo; }
    // A different positive number closes an open port first; 0 or negative values are ignored.
    void setComNo(int comNo);
    // Kept for the settings; Linux tty queues have a fixed size, so nothing is asked of the system.
    int BufferLen() const { return m_bufferLen; }
    void setBufferLen(int bytes) { m_bufferLen = bytes; }
    int ReadTimeout() const { return m_readTimeout; }
    void setReadTimeout(int ms) { m_readTimeout = ms; }
    int WriteTimeout() const { return m_writeTimeout; }
    void setWriteTimeout(int ms) { m_writeTimeout = ms; }

    // Path opened for any port number when not empty (a setting or a command-line override).
    // A different path closes an open port first, like a ComNo change.
    void setDevicePath(const std::string& path);
    // The path Open() uses for the current ComNo.
    std::string DevicePath() const;
    // The path and system reason of the last failed Open; empty after a successful one.
    const std::string& LastOpenError() const { return m_lastOpenError; }

    Notification OnActivate;   // raised after a successful open
    Notification OnDeActivate; // raised before the port is closed
    void setLogSink(LogSink sink) { m_log = std::move(sink); }
    // Called while a read or write waits for the line; returning true ends the wait (see
    // SerialLine::setWaitHook).
    void setWaitHook(SerialLine::WaitHook hook);
    // True when the last read or write was ended by the wait hook.
    bool WaitAbandoned() const { return m_line && m_line->waitAbandoned(); }

  private:
    void applyFormat();
    void log(const std::string& line) const;

    std::unique_ptr<SerialLine> m_line;
    int m_baudRate = BR___9600;
    TStopBits m_stopBits = SB_ONESTOPBIT;
    TParity m_parity = No_Parity;
    int m_comNo = 2;
    int m_bufferLen = 300;
    int m_readTimeout = 1000;
    int m_writeTimeout = 1000;
    std::string m_devicePath;
    std::string m_lastOpenError;
    bool m_noByte = false;
    bool m_stopBitsNoted = false;
    std::chrono::steady_clock::time_point m_sentUntil{};
    LogSink m_log;
};

} // namespace exchange
