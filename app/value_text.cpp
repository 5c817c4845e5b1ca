#include "app/value_text.h"

#include "base/text_utils.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace app {
namespace {

constexpr std::array<std::string_view, 4> kAllowedChars{"01", "01234567", "0123456789", "0123456789ABCDEF"};

constexpr int base(TViewStyle style) {
    constexpr std::array<int, 4> kBases{2, 8, 10, 16};
    return kBases[static_cast<std::size_t>(style)];
}

// The decimal text as the field's integer conversion sees it: an optional "-", digits and at most one
// separator; the digits must fit a signed 32-bit integer.
std::optional<double> convertDecimal(std::string_view text, char separator) {
    const std::size_t sep = text.find(separator);
    int decimals = 0;
    std::string digits(text);
    if (sep != std::string_view::npos) {
        decimals = static_cast<int>(text.size() - sep - 1);
        digits.erase(sep, 1);
    }
    std::int32_t n = 0;
    const char* first = digits.data();
    const char* last = digits.data() + digits.size();
    // from_chars accepts a leading "-" but no "+", which is what the field can hold.
    const auto [end, ec] = std::from_chars(first, last, n);
    if (ec != std::errc{} || end != last)
        return std::nullopt;
    double value = n;
    for (int i = 0; i < decimals; ++i)
        value /= 10;
    return value;
}

// Up to 15 significant digits: the digits beyond are noise of the binary representation.
double significant15(double value) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    double out = value;
    std::from_chars(buf, r.ptr, out);
    return out;
}

std::string integerDigits(double value, int radix) {
    std::string out;
    // Division by a power of two is exact, so this works for every finite magnitude.
    double v = std::fabs(value);
    while (v >= 1) {
        const double digit = std::fmod(v, radix);
        out.insert(out.begin(), base::kHexDigits[static_cast<std::size_t>(digit)]);
        v = std::floor(v / radix);
    }
    if (out.empty())
        return "0";
    if (value < 0)
        out.insert(out.begin(), '-');
    return out;
}

int precisionExponent(double precision) {
    return static_cast<int>(std::lround(std::log10(precision)));
}

} // namespace

std::string_view allowedChars(TViewStyle style) {
    return kAllowedChars[static_cast<std::size_t>(style)];
}

TViewStyle nextViewStyle(TViewStyle current, TViewStyles allowed) {
    for (unsigned i = 1; i <= 3; ++i) {
        const auto candidate = static_cast<TViewStyle>((static_cast<unsigned>(current) + i) % 4);
        if (allowed.contains(candidate))
            return candidate;
    }
    return current;
}

ParsedValue parseValueText(std::string_view text, TViewStyle style, char separator) {
    ParsedValue result;
    if (text.empty())
        return result;
    if (style != TViewStyle::vsDEC) {
        const std::string_view digits = allowedChars(style);
        const bool negative = text.front() == '-';
        if (negative)
            text.remove_prefix(1);
        for (char c : text) {
            const std::size_t d = digits.find(c);
            if (d == std::string_view::npos) {
                result.invalid = true;
                continue;
            }
            result.value = result.value * base(style) + static_cast<double>(d);
        }
        if (negative)
            result.value = -result.value;
        return result;
    }
    // Shortening the whole text (separator included) keeps the decimals in step with the digits that
    // remain, so the value read is always the value of the text that converted.
    std::string_view t = text;
    while (!t.empty()) {
        if (auto v = convertDecimal(t, separator)) {
            result.value = *v;
            return result;
        }
        result.shortened = true;
        t.remove_suffix(1);
    }
    return result;
}

double roundToPrecision(double value, double precision) {
    if (!std::isfinite(value))
        return 0;
    if (!(precision > 0) || !std::isfinite(precision))
        return value;
    const int exponent = precisionExponent(precision);
    const double factor = std::pow(10.0, std::abs(exponent));
    // Scaling up by 10^n and down again keeps decimals exact where dividing by 10^-n would not.
    const double scaled = exponent >= 0 ? value / factor : value * factor;
    if (!std::isfinite(scaled))
        return value;
    const double rounded = std::nearbyint(scaled);
    const double out = exponent >= 0 ? rounded * factor : rounded / factor;
    return out == 0 ? 0.0 : out; // no "-0"
}

std::optional<std::string> formatValueText(double value, TViewStyle style, double precision, char separator) {
    if (!(precision > 0) || !std::isfinite(precision))
        return std::nullopt;
    const double rounded = roundToPrecision(value, precision);
    if (style != TViewStyle::vsDEC) {
        const double whole = std::nearbyint(rounded);
        return integerDigits(whole == 0 ? 0.0 : whole, base(style));
    }
    const int decimals = std::max(0, -precisionExponent(precision));
    const double shown = significant15(rounded);
    // Decimals beyond the 15th significant digit are written as zeros, not as binary noise.
    const int exponent = shown == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(shown))));
    const int exact = std::min(decimals, std::max(0, 14 - exponent));
    std::string out(400, '\0');
    const auto r = std::to_chars(out.data(), out.data() + out.size(), shown, std::chars_format::fixed, exact);
    out.resize(static_cast<std::size_t>(r.ptr - out.data()));
    if (decimals > exact) {
        if (exact == 0)
            out.push_back('.');
        out.append(static_cast<std::size_t>(decimals - exact), '0');
    }
    if (separator != '.') {
        if (const std::size_t dot = out.find('.'); dot != std::string::npos)
            out[dot] = separator;
    }
    return out;
}

double clampValue(double value, double minimum, double maximum) {
    if (!(minimum < maximum))
        return value;
    if (value > maximum)
        return maximum;
    if (value < minimum)
        return minimum;
    return value;
}

double stepSize(TViewStyle style, double precision) {
    return style != TViewStyle::vsDEC && precision < 1 ? 1.0 : precision;
}

std::int32_t roundHalfEven(double value) {
    if (!std::isfinite(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

FilteredText filterValueText(std::u16string_view text, int caret, TViewStyle style, double precision,
                             char separator, int rememberedSeparator) {
    const bool decimal = style == TViewStyle::vsDEC;
    const bool fraction = decimal && precision < 1;
    const auto isSeparatorLike = [](char16_t c) { return c == u',' || c == u'.'; };

    int keep = -1;
    if (fraction) {
        const int n = static_cast<int>(text.size());
        if (rememberedSeparator >= 0 && rememberedSeparator < n && isSeparatorLike(text[rememberedSeparator]))
            keep = rememberedSeparator;
        else
            for (int i = n - 1; i >= 0 && keep < 0; --i)
                if (isSeparatorLike(text[static_cast<std::size_t>(i)]))
                    keep = i;
    }

    const std::string_view allowed = allowedChars(style);
    FilteredText out;
    out.caret = caret;
    for (int i = 0; i < static_cast<int>(text.size()); ++i) {
        char16_t c = text[static_cast<std::size_t>(i)];
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        bool stays = c < 0x80 && allowed.find(static_cast<char>(c)) != std::string_view::npos;
        if (!stays && decimal && c == u'-' && i == 0)
            stays = true;
        if (!stays && i == keep) {
            stays = true;
            c = static_cast<char16_t>(separator);
            out.separatorPos = static_cast<int>(out.text.size());
        }
        if (stays)
            out.text.push_back(c);
        else if (i < caret)
            --out.caret;
    }
    return out;
}

} // namespace app
