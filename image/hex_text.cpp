#include "image/hex_text.h"

#include "base/text_utils.h"

namespace image {

namespace {

std::string toHex(uint32_t value, int digits) {
    std::string text(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = base::kHexDigits[value & 0xF];
        value >>= 4;
    }
    return text;
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

} // namespace image
