#pragma once
// The application's side of a running exchange: the settings it reads come from the settings store
// and the active profile, its device log lines and raw answers go to the log, and its failures reach
// the user as the setting Errors/DontShowErrMsgs says.

#include "exchange/exchange_reporter.h"
#include "exchange/exchange_settings.h"

#include <optional>

namespace app {

class Log;
class MessageSink;
class SettingsStore;
struct MainState;

class ExchangeLink final : public exchange::ExchangeReporter, public exchange::ExchangeSettings {
  public:
    // All four must outlive the link.
    ExchangeLink(const SettingsStore& settings, Log& log, MessageSink& messages, const MainState& state)
        : m_settings(settings), m_log(log), m_messages(messages), m_state(state) {}

    // Wins over Protocol/Repeat garbled answers while set (velmora-cli --repeat-garbled).
    std::optional<bool> repeatGarbledOverride;

    void deviceLogLine(std::string_view line) override;
    void rawAnswer(std::span<const std::uint8_t> bytes) override;
    // With Errors/DontShowErrMsgs on, the device log line title + " - " + text; otherwise an error box
    // whose text is the title, "\r", nineteen blanks and the text. "\r" is a line break in the box and
    // a blank in the log.
    void error(std::string_view title, std::string_view text) override;

    bool echo() const override;
    std::string password() const override;
    bool answerEndsByTemplate() const override;
    bool repeatGarbled() const override;

  private:
    const SettingsStore& m_settings;
    Log& m_log;
    MessageSink& m_messages;
    const MainState& m_state;
};

} // namespace app
