#pragma once
// Minimal LHA archive headers, so that compressed streams can be handed to the public LHA
// archivers and their archives read back. Header-only: used by tests and benchmarks.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace testsupport {

// CRC-16 of LHA archives (reflected polynomial 0xA001, initial 0), over the original data.
inline uint16_t lhaCrc16(std::span<const uint8_t> data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    }
    return crc;
}

namespace lha_detail {
inline void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
inline uint32_t get(std::span<const uint8_t> in, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(in[at + static_cast<size_t>(i)]) << (8 * i);
    return v;
}
} // namespace lha_detail

// A one-file archive of header level 0, 1 or 2 holding `compressed` (made by `method`, e.g.
// "-lh5-") as `name`, followed by the end-of-archive byte.
inline std::vector<uint8_t> makeLhaArchive(int level, const std::string& name, const std::string& method,
                                           std::span<const uint8_t> original,
                                           std::span<const uint8_t> compressed) {
    using lha_detail::put;
    std::vector<uint8_t> h;
    const uint16_t crc = lhaCrc16(original);
    const uint32_t dosTime = 0x4E210000; // 2019-01-01 00:00
    if (level == 0 || level == 1) {
        h = {0, 0};
        h.insert(h.end(), method.begin(), method.end());
        put(h, static_cast<uint32_t>(compressed.size()), 4);
        put(h, static_cast<uint32_t>(original.size()), 4);
        put(h, dosTime, 4);
        h.push_back(0x20); // attribute: archive
        h.push_back(static_cast<uint8_t>(level));
        h.push_back(static_cast<uint8_t>(name.size()));
        h.insert(h.end(), name.begin(), name.end());
        put(h, crc, 2);
        if (level == 1) {
            h.push_back('U'); // operating system
            put(h, 0, 2);     // no extended headers
        }
        h[0] = static_cast<uint8_t>(h.size() - 2);
        uint8_t sum = 0;
        for (size_t i = 2; i < h.size(); ++i)
            sum = static_cast<uint8_t>(sum + h[i]);
        h[1] = sum;
    } else {
        h = {0, 0};
        h.insert(h.end(), method.begin(), method.end());
        put(h, static_cast<uint32_t>(compressed.size()), 4);
        put(h, static_cast<uint32_t>(original.size()), 4);
        put(h, 1546300800, 4); // 2019-01-01 as Unix time
        h.push_back(0x20);
        h.push_back(2);
        put(h, crc, 2);
        h.push_back('U');
        put(h, static_cast<uint32_t>(3 + name.size()), 2); // the file name header follows
        h.push_back(0x01);
        h.insert(h.end(), name.begin(), name.end());
        put(h, 0, 2);
        h[0] = static_cast<uint8_t>(h.size());
        h[1] = static_cast<uint8_t>(h.size() >> 8);
    }
    h.insert(h.end(), compressed.begin(), compressed.end());
    h.push_back(0);
    return h;
}

struct LhaMember {
    std::string method; // e.g. "-lh5-"
    uint32_t originalSize = 0;
    uint16_t crc = 0;
    std::vector<uint8_t> data; // the compressed bytes
};

// The first member of an LHA archive (header levels 0, 1, 2), or nothing when the bytes are no
// archive this parser understands.
inline std::optional<LhaMember> readFirstLhaMember(std::span<const uint8_t> a) {
    using lha_detail::get;
    if (a.size() < 22)
        return std::nullopt;
    LhaMember m;
    m.method.assign(a.begin() + 2, a.begin() + 7);
    uint32_t packed = get(a, 7, 4);
    m.originalSize = get(a, 11, 4);
    const int level = a[20];
    size_t dataAt = 0;
    if (level == 0 || level == 1) {
        const size_t headerEnd = 2 + a[0];
        if (headerEnd > a.size() || headerEnd < 24)
            return std::nullopt;
        m.crc = static_cast<uint16_t>(get(a, 22 + a[21], 2));
        dataAt = headerEnd;
        if (level == 1) {
            // Extended headers follow the base header and count in the packed size.
            size_t next = get(a, headerEnd - 2, 2);
            while (next != 0) {
                if (dataAt + next > a.size() || next < 3 || packed < next)
                    return std::nullopt;
                packed -= static_cast<uint32_t>(next);
                dataAt += next;
                next = get(a, dataAt - 2, 2);
            }
        }
    } else if (level == 2) {
        dataAt = get(a, 0, 2);
        m.crc = static_cast<uint16_t>(get(a, 21, 2));
    } else {
        return std::nullopt;
    }
    if (dataAt > a.size() || packed > a.size() - dataAt)
        return std::nullopt;
    m.data.assign(a.begin() + static_cast<std::ptrdiff_t>(dataAt),
                  a.begin() + static_cast<std::ptrdiff_t>(dataAt + packed));
    return m;
}

} // namespace testsupport
