#include "image/hex_text.h"

#include "base/text_utils.h"

namespace image {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

std::string toHex(uint32_t value, int digits) {
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string ByteToHex(uint8_t value) {
    return toHex(value, 2);
}
std::string ByteToHex0x(uint8_t value) {
    return "0x" + toHex(value, 2);
}
std::string WordToHex(uint16_t value) {
    return toHex(value, 4);
}
std::string WordToHex0x(uint16_t value) {
    return "0x" + toHex(value, 4);
}
std::string DWordToHex(uint32_t value) {
    return toHex(value, 8);
}
std::string DWordToHex0x(uint32_t value) {
    return "0x" + toHex(value, 8);
}

std::string AddrToHex0x(uint32_t value) {
    std::string text = DWordToHex0x(value);
    while (text.size() >= 5 && text[2] == '0')
        text.erase(2, 1);
    return text;
}

uint8_t HexToByte(std::string_view text) {
    int high = text.size() > 0 ? base::HexDigitValue(text[0]) : -1;
    int low = text.size() > 1 ? base::HexDigitValue(text[1]) : -1;
    return static_cast<uint8_t>(high * 16 + low);
}

uint32_t HexToInt(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    uint32_t value = 0;
    for (char c : text)
        value = value * 16 + static_cast<uint32_t>(base::HexDigitValue(c));
    return value;
}

} // namespace image
