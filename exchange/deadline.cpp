#include "exchange/deadline.h"

#include <algorithm>
#include <climits>
#include <limits>

namespace exchange {

Deadline Deadline::after(std::chrono::milliseconds after, SteadyClock::time_point now) {
    return Deadline(now + std::max(after, std::chrono::milliseconds(0)));
}

std::chrono::milliseconds Deadline::remaining(SteadyClock::time_point now) const {
    if (now >= m_when)
        return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(m_when - now);
}

Deadline Deadline::capped(std::chrono::milliseconds other, SteadyClock::time_point now) const {
    Deadline o = after(other, now);
    return o.m_when < m_when ? o : *this;
}

int Deadline::pollTimeout(SteadyClock::time_point now) const {
    auto left = remaining(now).count();
    return static_cast<int>(std::min<long long>(left, INT_MAX));
}

std::chrono::milliseconds transferBudget(std::int32_t perByteMs, std::size_t count) {
    if (perByteMs <= 0)
        return std::chrono::milliseconds(0);
    // A day is far beyond any transfer the port is asked for; capping there keeps the sum in range.
    constexpr long long kCap = 24LL * 3600 * 1000;
    const long long per = perByteMs;
    if (count >= static_cast<std::size_t>(kCap / per))
        return std::chrono::milliseconds(kCap);
    return std::chrono::milliseconds(std::min(kCap, per * static_cast<long long>(count) + per));
}

} // namespace exchange
