#include "image/compat_list.h"

#include "image/version_record.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace image {

namespace {

constexpr std::string_view kStartMarker = "<CLIST>";
constexpr std::string_view kEndMarker = "</CLIST>";

} // namespace

CompatListMatch findCompatList(const uint8_t* buffer, int64_t size, int64_t positions) {
    CompatListMatch match;
    if (buffer == nullptr || size <= 0)
        return match;
    positions = std::min(positions, size);
    const std::string_view text(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    for (size_t p = text.find(kStartMarker);
         p != std::string_view::npos && static_cast<int64_t>(p) < positions;
         p = text.find(kStartMarker, p + 1)) {
        if (static_cast<int64_t>(p) + 8 > size)
            break;
        const int n = buffer[p + 7];
        const int64_t end = static_cast<int64_t>(p) + compatListBlockSize(static_cast<size_t>(n));
        if (end > size)
            continue;
        if (std::memcmp(buffer + p + 12 + 2 * n, kEndMarker.data(), kEndMarker.size()) != 0)
            continue;
        match.position = static_cast<int32_t>(p);
        for (int i = 0; i < n; ++i)
            match.entries.push_back(
                static_cast<uint16_t>(buffer[p + 8 + 2 * i] | buffer[p + 9 + 2 * i] << 8));
        const uint8_t* crcField = buffer + p + 8 + 2 * n;
        const uint32_t stored =
            crcField[0] | crcField[1] << 8 | crcField[2] << 16 | static_cast<uint32_t>(crcField[3]) << 24;
        match.crcBad = stored != standardCrc32(buffer + p + 7, 1 + 2 * static_cast<size_t>(n));
        return match;
    }
    return match;
}

std::vector<uint8_t> serializeCompatList(const std::vector<uint16_t>& entries) {
    const size_t n = std::min<size_t>(entries.size(), 255);
    std::vector<uint8_t> block(kStartMarker.begin(), kStartMarker.end());
    block.push_back(static_cast<uint8_t>(n));
    for (size_t i = 0; i < n; ++i) {
        block.push_back(static_cast<uint8_t>(entries[i] & 0xFF));
        block.push_back(static_cast<uint8_t>(entries[i] >> 8));
    }
    const uint32_t crc = standardCrc32(block.data() + 7, 1 + 2 * n);
    for (int i = 0; i < 4; ++i)
        block.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    block.insert(block.end(), kEndMarker.begin(), kEndMarker.end());
    return block;
}

} // namespace image
