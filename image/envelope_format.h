#pragma once
// Layout of the packed envelope ("Q7R конверт", extension q7r) and the checks on it.
//
//   0 magic "KTLA" | 4 header text (32, running-sum coded) | 36 version record (64, coded) |
//   100 container CRC | 104 T: size of the envelope proper | 112 byte 1 = packed |
//   packed: 124 entry count, 128 name length L, inverted name, original size, data offset D,
//   end field (one past the data, plus 1), path length P, inverted path, 4 zero bytes, 1 zero byte,
//   then the "-lh5-" data | T: compatibility list block (running-sum coded over its whole length)
// An unpacked envelope is taken into the image as it stands, header included.

#include "image/version_record.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace image {

inline constexpr uint8_t kEnvelopeMagic[4] = {'K', 'T', 'L', 'A'};
inline constexpr int32_t kEnvelopeHeaderAt = 4;
inline constexpr int32_t kEnvelopeHeaderSize = 32;
inline constexpr int32_t kEnvelopeRecordAt = 36;
inline constexpr int32_t kEnvelopeContainerCrcAt = 100;
inline constexpr int32_t kEnvelopeSizeAt = 104;
inline constexpr int32_t kEnvelopePackedAt = 112;
inline constexpr int32_t kEnvelopeEntriesAt = 124;
inline constexpr int32_t kEnvelopeListWindow = 256;
// An unpacked envelope is its image as it stands: its own fields take addresses 0..123, the firmware
// keeps its addresses above them, up to T.
inline constexpr int32_t kEnvelopeFixedSize = 124;

using EnvelopeHeader = std::array<uint8_t, kEnvelopeHeaderSize>;

inline uint32_t readLe32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void writeLe32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

bool hasEnvelopeMagic(std::span<const uint8_t> bytes);

// Header text from its coded bytes: decoded, cut at the first zero byte, trimmed of blanks and
// control characters, padded with spaces (or cut) to 32 bytes. cp1251 bytes.
EnvelopeHeader decodeEnvelopeHeader(const uint8_t* coded);
// A header from cp1251 text: trimmed, then padded with spaces or cut to 32 bytes.
EnvelopeHeader makeEnvelopeHeader(const std::string& textCp1251);
// The header text without its padding (cp1251).
std::string envelopeHeaderText(const EnvelopeHeader& header);

// The record coded at `coded` (64 bytes), when both markers are in place after decoding.
bool decodeEnvelopeRecord(const uint8_t* coded, VersionRecord& record);
void encodeInto(uint8_t* target, const uint8_t* plain, size_t size);

// The compatibility list block as written into an envelope: serialised and running-sum coded.
std::vector<uint8_t> codedCompatList(const std::vector<uint16_t>& entries);

// The CRC-32 the record's ImageCRC must hold for an envelope: over raw[0..3], the coded header,
// the record with its CRC field read as FF FF FF FF, raw[100 ..] and the list block. Writers differ
// on whether the block is fed coded (as it stands in the file) or plain; the caller says which.
uint32_t envelopeImageCrc(std::span<const uint8_t> raw, const EnvelopeHeader& header,
                          const VersionRecord& record, std::span<const uint8_t> listBlock);

// Checks that the fields of a packed envelope of `size` bytes (T, entry, data offset, data end,
// original size) all point inside it and that the original size fits the image.
bool packedLayoutFits(std::span<const uint8_t> bytes);

} // namespace image
