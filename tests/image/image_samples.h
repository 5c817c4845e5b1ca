#pragma once
// Sample images for the image tests: version records, sealed images, random and compressible data.

#include "image/compat_list.h"
#include "image/hex_file.h"
#include "image/version_record.h"
#include "support/files.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace imagetest {

struct RecordFields {
    std::string owner = "TEST FIRMWARE";
    uint8_t major = 2, minor = 60, build = 1;
    uint16_t release = 3;
    uint32_t date = 0x14ED2F41;
    uint16_t hwid = 0x0123;
};

inline image::VersionRecord makeRecord(const RecordFields& f = {}) {
    image::VersionRecord r = image::emptyVersionRecord();
    std::memset(r.bytes.data() + 5, ' ', 32);
    std::memcpy(r.bytes.data() + 5, f.owner.data(), std::min<size_t>(f.owner.size(), 32));
    r.bytes[37] = 0;
    r.bytes[38] = f.major;
    r.bytes[39] = f.minor;
    r.bytes[40] = f.build;
    r.bytes[41] = static_cast<uint8_t>(f.release);
    r.bytes[42] = static_cast<uint8_t>(f.release >> 8);
    for (int i = 0; i < 4; ++i)
        r.bytes[43 + i] = static_cast<uint8_t>(f.date >> (8 * i));
    r.bytes[47] = static_cast<uint8_t>(f.hwid);
    r.bytes[48] = static_cast<uint8_t>(f.hwid >> 8);
    return r;
}

inline std::vector<uint8_t> randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

// Machine-code-like bytes: short repeated instruction patterns with varying operands.
inline std::vector<uint8_t> compressibleBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    static constexpr uint8_t kPatterns[4][4] = {{0x12, 0x34, 0x00, 0xE5},
                                                {0x90, 0x00, 0x00, 0x22},
                                                {0xE4, 0xF5, 0x80, 0x75},
                                                {0x02, 0x21, 0x00, 0x00}};
    for (size_t i = 0; i < size; i += 4) {
        const auto& p = kPatterns[rng() % 4];
        for (size_t k = 0; k < 4 && i + k < size; ++k)
            bytes[i + k] = k == 2 ? static_cast<uint8_t>(rng() % 8) : p[k];
    }
    return bytes;
}

// Fills the record's ImageSize and ImageCRC in Data (StartAddr .. EndAddr, CRC field as FF FF FF FF),
// computed independently of the image's own check, then reloads the record.
inline void sealPlainImage(image::THEXFile& file) {
    file.Rescan();
    const int32_t at = file.VersionPos;
    uint8_t* record = file.Data.data() + at;
    const uint32_t size = static_cast<uint32_t>(file.Length);
    for (int i = 0; i < 4; ++i) {
        record[50 + i] = static_cast<uint8_t>(size >> (8 * i));
        record[54 + i] = 0xFF;
    }
    const uint32_t crc =
        image::standardCrc32(file.Data.data() + file.StartAddr, static_cast<size_t>(file.Length));
    for (int i = 0; i < 4; ++i)
        record[54 + i] = static_cast<uint8_t>(crc >> (8 * i));
    file.FindVersion();
    file.Update();
}

// A plain image holding `firmware` at `address`, a record at `address + recordOffset` and, when
// `list` is not empty, a compatibility list after the record; sealed.
inline std::unique_ptr<image::THEXFile> makePlainImage(std::vector<uint8_t> firmware, int32_t address = 0,
                                                       size_t recordOffset = 0x40,
                                                       const std::vector<uint16_t>& list = {0x0124, 0x0125}) {
    auto file = std::make_unique<image::THEXFile>();
    file->SetAutoCRC(true);
    file->Clear();
    const image::VersionRecord record = makeRecord();
    const std::vector<uint8_t> block = image::serializeCompatList(list);
    if (firmware.size() >= recordOffset + 64 + block.size()) {
        std::memcpy(firmware.data() + recordOffset, record.bytes.data(), 64);
        if (!list.empty())
            std::memcpy(firmware.data() + recordOffset + 64, block.data(), block.size());
    }
    file->LoadFromStream(address, firmware, true);
    if (file->VersionPos >= 0)
        sealPlainImage(*file);
    return file;
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    testsupport::writeText(path, text);
}
inline void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeBytes(path, bytes);
}
inline std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    return testsupport::readBytes(path);
}

} // namespace imagetest
