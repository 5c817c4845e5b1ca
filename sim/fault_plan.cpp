#include "sim/fault_plan.h"

#include <charconv>

namespace sim {

std::optional<std::uint64_t> parseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    if (text.empty() || ec != std::errc{} || ptr != end || value > max)
        return std::nullopt;
    return value;
}

std::optional<FrameRange> parseFrameRange(std::string_view text, std::string& error) {
    const std::size_t dash = text.find('-');
    const std::string_view firstText = text.substr(0, dash);
    const auto first = parseNumber(firstText, UINT64_MAX);
    std::optional<std::uint64_t> last = 0;
    if (dash != std::string_view::npos && dash + 1 < text.size())
        last = parseNumber(text.substr(dash + 1), UINT64_MAX);
    else if (dash == std::string_view::npos)
        last = first;
    if (!first || !last || *first == 0 || (*last != 0 && *last < *first)) {
        error = "bad frame range '" + std::string(text) + "': expected N, N- or N-M with 1 <= N <= M";
        return std::nullopt;
    }
    return FrameRange{*first, *last};
}

std::optional<ErrorRule> parseErrorRule(std::string_view text, std::string& error) {
    const std::size_t colon = text.find(':');
    const std::size_t second = colon == std::string_view::npos ? colon : text.find(':', colon + 1);
    const auto function = parseNumber(text.substr(0, colon), 0x7F);
    std::optional<std::uint64_t> code;
    if (colon != std::string_view::npos)
        code = parseNumber(
            text.substr(colon + 1, second == std::string_view::npos ? second : second - colon - 1), 0xFF);
    if (!function || !code) {
        error = "bad device error rule '" + std::string(text) +
                "': expected FUNCTION:CODE[:RANGE] with a function of 0..0x7F and a code of 0..255";
        return std::nullopt;
    }
    ErrorRule rule{static_cast<std::uint8_t>(*function), static_cast<std::uint8_t>(*code), FrameRange{1, 0}};
    if (second != std::string_view::npos) {
        const auto range = parseFrameRange(text.substr(second + 1), error);
        if (!range)
            return std::nullopt;
        rule.range = *range;
    }
    return rule;
}

} // namespace sim
