#pragma once
// The settings an exchange reads, each at the moment it uses it, so that a change in the settings
// dialog counts from the next command on.

#include <string>

namespace exchange {

class ExchangeSettings {
  public:
    virtual ~ExchangeSettings() = default;

    // The line returns every byte sent before the answer (Port settings/Echo).
    virtual bool echo() const = 0;
    // The password the action lists put into their frames (UTF-8).
    virtual std::string password() const = 0;
    // An answer ends as soon as it forms a whole answer or exception answer; false: only by the gap.
    virtual bool answerEndsByTemplate() const = 0;
    // A command that repeats on no answer also repeats after an answer that matched nothing.
    virtual bool repeatGarbled() const = 0;
};

} // namespace exchange
