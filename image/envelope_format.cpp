#include "image/envelope_format.h"

#include "base/crc32.h"
#include "image/compat_list.h"
#include "image/image_buffer.h"
#include "image/running_sum_coder.h"

#include <algorithm>
#include <cstring>

namespace image {

namespace {

bool isTrimmed(uint8_t c) {
    return c <= ' ';
}

EnvelopeHeader padHeader(const uint8_t* text, size_t size) {
    size_t begin = 0;
    size_t end = size;
    while (begin < end && isTrimmed(text[begin]))
        ++begin;
    while (end > begin && isTrimmed(text[end - 1]))
        --end;
    EnvelopeHeader header;
    header.fill(' ');
    std::memcpy(header.data(), text + begin, std::min<size_t>(end - begin, header.size()));
    return header;
}

} // namespace

bool hasEnvelopeMagic(std::span<const uint8_t> bytes) {
    return bytes.size() >= 4 && std::memcmp(bytes.data(), kEnvelopeMagic, 4) == 0;
}

EnvelopeHeader decodeEnvelopeHeader(const uint8_t* coded) {
    EnvelopeHeader plain;
    std::memcpy(plain.data(), coded, plain.size());
    runningSumDecode(plain);
    const void* zero = std::memchr(plain.data(), 0, plain.size());
    const size_t size =
        zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - plain.data()) : plain.size();
    return padHeader(plain.data(), size);
}

EnvelopeHeader makeEnvelopeHeader(const std::string& textCp1251) {
    return padHeader(reinterpret_cast<const uint8_t*>(textCp1251.data()), textCp1251.size());
}

std::string envelopeHeaderText(const EnvelopeHeader& header) {
    size_t end = header.size();
    while (end > 0 && header[end - 1] == ' ')
        --end;
    return std::string(reinterpret_cast<const char*>(header.data()), end);
}

bool decodeEnvelopeRecord(const uint8_t* coded, VersionRecord& record) {
    VersionRecord decoded;
    std::memcpy(decoded.bytes.data(), coded, decoded.bytes.size());
    runningSumDecode(decoded.bytes);
    if (!decoded.hasMarkers())
        return false;
    record = decoded;
    return true;
}

void encodeInto(uint8_t* target, const uint8_t* plain, size_t size) {
    std::memmove(target, plain, size);
    runningSumEncode({target, size});
}

std::vector<uint8_t> codedCompatList(const std::vector<uint16_t>& entries) {
    std::vector<uint8_t> block = serializeCompatList(entries);
    runningSumEncode(block);
    return block;
}

uint32_t envelopeImageCrc(std::span<const uint8_t> raw, const EnvelopeHeader& header,
                          const VersionRecord& record, std::span<const uint8_t> listBlock) {
    static constexpr uint8_t kBlankCrc[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    uint32_t crc = 0xFFFFFFFFu;
    crc = base::CRC32Update(crc, raw.data(), std::min<size_t>(raw.size(), 4));
    EnvelopeHeader coded = header;
    runningSumEncode(coded);
    crc = base::CRC32Update(crc, coded.data(), coded.size());
    crc = base::CRC32Update(crc, record.bytes.data(), 54);
    crc = base::CRC32Update(crc, kBlankCrc, 4);
    crc = base::CRC32Update(crc, record.bytes.data() + 58, 6);
    if (raw.size() > static_cast<size_t>(kEnvelopeContainerCrcAt))
        crc = base::CRC32Update(crc, raw.data() + kEnvelopeContainerCrcAt,
                                raw.size() - kEnvelopeContainerCrcAt);
    crc = base::CRC32Update(crc, listBlock.data(), listBlock.size());
    return crc ^ 0xFFFFFFFFu;
}

bool packedLayoutFits(std::span<const uint8_t> bytes) {
    const uint64_t size = bytes.size();
    if (size < static_cast<uint64_t>(kEnvelopeEntriesAt) + 5)
        return false;
    const uint64_t total = readLe32(bytes.data() + kEnvelopeSizeAt);
    if (total > size)
        return false;
    uint64_t at = kEnvelopeEntriesAt + 4;
    const uint64_t nameLength = bytes[at];
    at += 1 + nameLength;
    // Original size, data offset, end field, path length.
    if (at + 13 > total)
        return false;
    const uint64_t origSize = readLe32(bytes.data() + at);
    const uint64_t dataOffset = readLe32(bytes.data() + at + 4);
    const uint64_t dataEnd = readLe32(bytes.data() + at + 8);
    const uint64_t pathLength = bytes[at + 12];
    at += 13 + pathLength + 5;
    if (at > total || origSize > static_cast<uint64_t>(kMaxImageSize))
        return false;
    // The compressed bytes are D .. end field - 2; an end field at or below D + 1 means none.
    return dataOffset <= total && dataEnd <= total + 1;
}

} // namespace image
