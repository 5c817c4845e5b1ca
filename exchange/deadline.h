#pragma once
// Deadline arithmetic for the serial line: one point in time that every wait of a transfer is measured
// against, and the port's rule for how long a transfer of n bytes may take.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace exchange {

using SteadyClock = std::chrono::steady_clock;

class Deadline {
  public:
    // A deadline `after` from `now`; a negative span is treated as zero.
    static Deadline after(std::chrono::milliseconds after, SteadyClock::time_point now = SteadyClock::now());

    SteadyClock::time_point when() const { return m_when; }
    // Time left, never negative.
    std::chrono::milliseconds remaining(SteadyClock::time_point now = SteadyClock::now()) const;
    bool expired(SteadyClock::time_point now = SteadyClock::now()) const { return now >= m_when; }
    // The earlier of this deadline and `other` from `now`.
    Deadline capped(std::chrono::milliseconds other, SteadyClock::time_point now = SteadyClock::now()) const;
    // The time left as a poll() timeout in milliseconds, rounded up so that a wait never ends early,
    // and clamped to the int range.
    int pollTimeout(SteadyClock::time_point now = SteadyClock::now()) const;

  private:
    explicit Deadline(SteadyClock::time_point when) : m_when(when) {}
    SteadyClock::time_point m_when;
};

// The longest a transfer of `count` bytes may take: perByte × count + perByte milliseconds.
// A negative perByte counts as 0; the product saturates instead of overflowing.
std::chrono::milliseconds transferBudget(std::int32_t perByteMs, std::size_t count);

} // namespace exchange
