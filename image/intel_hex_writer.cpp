#include "image/intel_hex_writer.h"

#include "base/text_utils.h"

#include <array>
#include <cstddef>

namespace image {

namespace {

void appendByte(std::string& out, uint8_t value, unsigned& sum) {
    out.push_back(base::kHexDigits[value >> 4]);
    out.push_back(base::kHexDigits[value & 0xF]);
    sum += value;
}

void appendRecord(std::string& out, uint8_t type, uint16_t address, const uint8_t* bytes, size_t count) {
    unsigned sum = 0;
    out.push_back(':');
    appendByte(out, static_cast<uint8_t>(count), sum);
    appendByte(out, static_cast<uint8_t>(address >> 8), sum);
    appendByte(out, static_cast<uint8_t>(address & 0xFF), sum);
    appendByte(out, type, sum);
    for (size_t i = 0; i < count; ++i)
        appendByte(out, bytes[i], sum);
    unsigned ignored = 0;
    appendByte(out, static_cast<uint8_t>(0x100 - (sum & 0xFF)), ignored);
    out += "\r\n";
}

bool anyFilledFrom(const ImageView& view, int32_t from) {
    for (int32_t a = view.endAddr; a >= from && a >= view.startAddr; --a)
        if (view.filled[a])
            return true;
    return false;
}

} // namespace

std::string writeIntelHex(const ImageView& view) {
    std::string out;
    if (view.startAddr >= 0 && view.endAddr >= view.startAddr) {
        constexpr int32_t kLinearLimit = 0x100000;
        const bool linear = anyFilledFrom(view, kLinearLimit);
        // About 44 characters per 16 bytes.
        out.reserve(static_cast<size_t>(view.endAddr - view.startAddr + 1) / 16 * 46 + 64);
        std::array<uint8_t, 16> pending{};
        size_t pendingCount = 0;
        int32_t pendingOffset = 0;
        int64_t lastBank = -1;
        for (int32_t a = view.startAddr; a <= view.endAddr; ++a) {
            const bool filled = view.filled[a] != 0;
            if (filled) {
                if (pendingCount == 0)
                    pendingOffset = a % 16;
                pending[pendingCount++] = view.data[a];
            }
            if (pendingCount > 0 && (a % 16 == 15 || a == view.endAddr || !filled)) {
                const int64_t bank = linear ? (a >> 16) : ((a & 0xF0000) >> 4);
                if (bank != lastBank) {
                    const uint8_t value[2] = {static_cast<uint8_t>(bank >> 8),
                                              static_cast<uint8_t>(bank & 0xFF)};
                    appendRecord(out, linear ? 0x04 : 0x02, 0, value, 2);
                    lastBank = bank;
                }
                appendRecord(out, 0x00, static_cast<uint16_t>((a & 0xFFF0) + pendingOffset), pending.data(),
                             pendingCount);
                pendingCount = 0;
            }
        }
    }
    out += ":00000001FF\r\n";
    return out;
}

} // namespace image
