#include "protocol/number_conversion.h"

#include <cmath>

namespace protocol {

namespace {

// 2^63 is exact in long double; the signed range is [-2^63, 2^63).
constexpr long double kTwoPow63 = 9223372036854775808.0L;

bool fitsInt64(long double whole) {
    return std::isfinite(whole) && whole >= -kTwoPow63 && whole < kTwoPow63;
}

} // namespace

long double roundHalfEven(long double value) {
    if (!std::isfinite(value))
        return value;
    long double floor = std::floor(value);
    const long double fraction = value - floor; // exact: both share the binade of value
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(floor, 2.0L) != 0))
        floor += 1;
    return floor;
}

bool truncToInt64(long double value, int64_t& out) {
    const long double whole = std::trunc(value);
    if (!fitsInt64(whole))
        return false;
    out = static_cast<int64_t>(whole);
    return true;
}

bool roundToInt64(long double value, int64_t& out) {
    const long double whole = roundHalfEven(value);
    if (!fitsInt64(whole))
        return false;
    out = static_cast<int64_t>(whole);
    return true;
}

} // namespace protocol
