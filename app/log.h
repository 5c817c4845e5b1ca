#pragma once
// The program's log and error log, owned by the main window for the whole run and shared by every
// subsystem. Lines are built here (timestamp, device address) and handed to an attached sink; the texts
// are also kept so that the log can be copied or cleared and tested without a window.
//
// All texts are UTF-8. A text may carry "\r" (or "\n") line breaks, as the protocol messages do: in the
// log each break with the blanks around it becomes a single space, and other control characters become
// spaces, so a text always makes exactly one log line and never reaches a terminal as a control code.

#include "app/log_sink.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace app {

class Log {
  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    using AddressSource = std::function<std::int32_t()>;

    // `clock` gives the time of each line; the system clock when empty.
    explicit Log(Clock clock = {});
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    // `sink` may be null (detached); it must outlive its attachment.
    void attach(LogSink* sink) { m_sink = sink; }
    // The main window's device address, read at the moment of each device log line. Without a source
    // the address of a first start (17) is used.
    void setDeviceAddressSource(AddressSource source) { m_address = std::move(source); }

    // Appends "[" + timestamp + "]  " + text.
    void AddLogLine(std::string_view text);
    // Appends "[" + timestamp + "]  (A=#" + device address + ") " + text. The device address is its
    // low byte (the part the bus uses), in decimal without leading zeros.
    void AddDeviceLogLine(std::string_view text);
    // Appends to the error log the line "-[ Ошибка ]------" and one line "0xHH" per byte, then asks
    // the sink to show the error log window.
    void ShowRawAnswer(std::span<const std::uint8_t> bytes);

    // The log lines, oldest first.
    const std::vector<std::string>& lines() const { return m_lines; }
    // All log lines joined by "\n" (the pop-up menu's "Скопировать").
    std::string copyText() const;
    // Empties the log (the pop-up menu's "Очистить"); the next line is appended as the first.
    void clear();

    // The error log text: every line "\n"-terminated.
    const std::string& errorLogText() const { return m_errorLog; }
    // Empties the error log (its tool bar's "Очистить").
    void clearErrorLog();

  private:
    void append(std::string line);

    Clock m_clock;
    AddressSource m_address;
    LogSink* m_sink = nullptr;
    std::vector<std::string> m_lines;
    std::string m_errorLog;
};

// The local date and time of `t` as the log shows it: the date in the short date format and the time in
// the long time format of the current LC_TIME locale, separated by one space, without a time zone name.
std::string formatLogTimestamp(std::time_t t);

// `text` as one log line: each run of line breaks with the blanks around it becomes one space, every
// other control character a space; invalid UTF-8 bytes are read as code page 1251.
std::string singleLineText(std::string_view text);

} // namespace app
