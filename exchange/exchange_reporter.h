#pragma once
// Where a running exchange reports: the device log, the raw bytes of an answer that matched nothing,
// and the failures the user must see. The program decides how each reaches the user (the window's log
// pane and message boxes, velmora-cli's error output, a test's recorder).

#include <cstdint>
#include <span>
#include <string_view>

namespace exchange {

class ExchangeReporter {
  public:
    virtual ~ExchangeReporter() = default;

    // One line of the device log (UTF-8).
    virtual void deviceLogLine(std::string_view line) = 0;
    // An answer that matched neither template, kept for the error log.
    virtual void rawAnswer(std::span<const std::uint8_t> bytes) = 0;
    // A failure: title ("ОШИБКА! ", "ОШИБКА #k") and text, "\r" marking a line break.
    virtual void error(std::string_view title, std::string_view text) = 0;
};

} // namespace exchange
