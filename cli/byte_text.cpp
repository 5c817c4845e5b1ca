#include "cli/byte_text.h"

#include "base/text_utils.h"

namespace cli {
using base::HexDigitValue;

std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view text) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',' || c == '\n' || c == '\r') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t' && text[end] != ',' &&
               text[end] != '\n' && text[end] != '\r')
            ++end;
        std::string_view token = text.substr(i, end - i);
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
            token.remove_prefix(2);
        if (token.size() == 1) {
            const int d = HexDigitValue(token[0]);
            if (d < 0)
                return std::nullopt;
            out.push_back(static_cast<uint8_t>(d));
        } else {
            if (token.size() % 2 != 0)
                return std::nullopt;
            for (size_t k = 0; k < token.size(); k += 2) {
                const int hi = HexDigitValue(token[k]);
                const int lo = HexDigitValue(token[k + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                out.push_back(static_cast<uint8_t>(hi * 16 + lo));
            }
        }
        i = end;
    }
    return out;
}

std::string formatHexBytes(const uint8_t* bytes, size_t size) {
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            out += ' ';
        out += base::kHexDigits[bytes[i] >> 4];
        out += base::kHexDigits[bytes[i] & 0x0F];
    }
    return out;
}

} // namespace cli
