#include "base/crc_presets.h"

#include "base/text_utils.h"

#include <cstdio>

namespace base {
namespace {

// The preset texts are ASCII, so ASCII upper-casing decides equality; other characters never match.
std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool sameText(std::string_view typed, std::string_view preset) {
    return upperAscii(TrimmedBlanks(typed)) == upperAscii(preset);
}

} // namespace

int findCrcPreset(const CrcPanelValues& v) {
    for (size_t i = 1; i < kCrcPresets.size(); ++i) {
        const CrcPreset& p = kCrcPresets[i];
        if (v.width == p.width && sameText(v.polynom, p.polynom) && sameText(v.initial, p.initial) &&
            v.reflected == p.reflected && sameText(v.xorValue, p.xorValue) && v.tableSwap == p.tableSwap)
            return static_cast<int>(i);
    }
    return 0;
}

std::optional<CrcPanelValues> crcPresetValues(int index) {
    if (index <= 0 || index >= static_cast<int>(kCrcPresets.size()))
        return std::nullopt;
    const CrcPreset& p = kCrcPresets[static_cast<size_t>(index)];
    return CrcPanelValues{p.width,     std::string(p.polynom),  std::string(p.initial),
                          p.reflected, std::string(p.xorValue), p.tableSwap};
}

std::optional<uint32_t> parseCrcNumber(std::string_view text) {
    std::string_view s = TrimmedBlanks(text);
    if (s.empty())
        return std::nullopt;
    size_t prefix = 0;
    if (s.front() == '$' || s.front() == 'x' || s.front() == 'X')
        prefix = 1;
    else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        prefix = 2;
    if (prefix > 0) {
        s.remove_prefix(prefix);
        if (s.empty() || s.size() > 8)
            return std::nullopt;
        uint32_t value = 0;
        for (char c : s) {
            const int d = HexDigitValue(c);
            if (d < 0)
                return std::nullopt;
            value = (value << 4) | static_cast<uint32_t>(d);
        }
        return value;
    }
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (negative) {
        if (value > 0x80000000ull)
            return std::nullopt;
        return static_cast<uint32_t>(0x100000000ull - value);
    }
    return static_cast<uint32_t>(value);
}

std::string crcConversionErrorText(std::string_view text) {
    return "'" + std::string(text) + "' не является допустимым целым числом";
}

std::optional<CrcParameters> crcParametersFromPanel(const CrcPanelValues& values, std::string* error) {
    CrcParameters p;
    p.width = values.width;
    p.reflected = values.reflected;
    p.tableSwap = values.tableSwap;
    const std::pair<const std::string*, uint32_t*> fields[] = {
        {&values.polynom, &p.polynom}, {&values.initial, &p.initial}, {&values.xorValue, &p.xorValue}};
    for (const auto& [text, out] : fields) {
        auto n = parseCrcNumber(*text);
        if (!n) {
            if (error)
                *error = crcConversionErrorText(*text);
            return std::nullopt;
        }
        *out = *n;
    }
    return p;
}

void applyCrcParameters(TCRCGenerator& generator, const CrcParameters& p) {
    generator.SetParameters(p.width, p.polynom, p.xorValue, p.tableSwap, p.reflected, p.initial);
}

uint32_t crcCheckValue(const CrcParameters& params) {
    TCRCGenerator generator;
    applyCrcParameters(generator, params);
    return generator.AddBytes(reinterpret_cast<const uint8_t*>(kCrcCheckSequence.data()),
                              static_cast<int64_t>(kCrcCheckSequence.size()));
}

std::string formatCrcValue(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", value);
    return buf;
}

} // namespace base
