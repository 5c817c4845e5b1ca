#pragma once
// VersionRecord: the 64-byte version record a firmware image may carry between the markers
// "<VER>" and "</VER>", with the helpers that find, write, check and show it.
//
// Layout (little-endian): 0 "<VER>", 5 Owner (cp1251 text, 32 bytes of padding, read up to the first
// zero byte within offsets 5..37), 37 zero, 38 Major, 39 Minor, 40 Build, 41 Release (16 bits,
// 0xFFFF unknown), 43 Date (seconds since 2000, 0x0000FFFF unknown), 47 HWID (16 bits), 49 reserved,
// 50 ImageSize (32 bits), 54 ImageCRC (32 bits), 58 "</VER>".

#include <array>
#include <cstdint>
#include <string>

namespace image {

inline constexpr int32_t kVersionRecordSize = 64;
inline constexpr uint32_t kUnknownDate = 0x0000FFFF;
inline constexpr uint16_t kUnknownRelease = 0xFFFF;

struct VersionRecord {
    std::array<uint8_t, kVersionRecordSize> bytes{};

    // Owner text as cp1251 bytes, up to the first zero byte (at most 33 bytes).
    std::string Owner() const;
    // The 32 Owner bytes (offsets 5..36), padding included.
    const uint8_t* ownerBytes() const { return bytes.data() + 5; }
    uint8_t Major() const { return bytes[38]; }
    uint8_t Minor() const { return bytes[39]; }
    uint8_t Build() const { return bytes[40]; }
    uint16_t Release() const { return get16(41); }
    uint32_t Date() const { return get32(43); }
    uint16_t HWID() const { return get16(47); }
    uint32_t ImageSize() const { return get32(50); }
    uint32_t ImageCRC() const { return get32(54); }

    void setImageSize(uint32_t value) { set32(50, value); }
    void setImageCRC(uint32_t value) { set32(54, value); }
    // Both markers in place.
    bool hasMarkers() const;

    bool operator==(const VersionRecord&) const = default;

  private:
    uint16_t get16(size_t at) const { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); }
    uint32_t get32(size_t at) const {
        return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
               static_cast<uint32_t>(bytes[at + 3]) << 24;
    }
    void set32(size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i)
            bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
};

// The start marker, 53 zero bytes and the end marker.
VersionRecord emptyVersionRecord();

// Offset of the first position p (p + 64 <= size) holding both markers, with the record copied
// into `record`; -1 and the empty record when there is none.
int32_t FindVersionRecord(const uint8_t* buffer, int64_t size, VersionRecord& record);
// Overwrites the first record found in the buffer; false when there is none.
bool WriteVersionRecord(uint8_t* buffer, int64_t size, const VersionRecord& record);

// Owner text not empty or HWID not 0.
bool IsVersionPresent(const VersionRecord& record);
// All 64 bytes zero.
bool IsVersionBlank(const VersionRecord& record);

// Texts (ASCII): "NONE" for a blank record, else Major "." Minor (two digits) and "b" Build when
// Build is not 0: "2.60b1", "4.00".
std::string VersionText(const VersionRecord& record);
// Release in decimal, "??" for 0xFFFF.
std::string ReleaseText(const VersionRecord& record);
// "DD.MM.YY" in the Gregorian calendar: 0x14ED2F41 -> "15.02.11", 0 -> "01.01.00".
std::string DateText(uint32_t seconds);
// "NONE" for a blank record, else VersionText "." ReleaseText "." date, the date "??" when unknown:
// "2.60b1.3.15.02.11".
std::string FullVersionText(const VersionRecord& record);
// Standard CRC-32 of the 32 Owner bytes.
uint32_t CalcSWID(const VersionRecord& record);
// Standard CRC-32 (reflected 0x04C11DB7, initial and final XOR 0xFFFFFFFF) of a buffer.
uint32_t standardCrc32(const uint8_t* bytes, size_t size);

} // namespace image
