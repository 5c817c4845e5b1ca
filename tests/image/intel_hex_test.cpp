// Intel HEX files: the reader's records, checks and relocation, the writer's record layout, type
// detection, and exchange with srecord's srec_cat in both directions.

#include "image/envelope_builder.h"
#include "image/file_type.h"
#include "image/hex_file.h"
#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"
#include "image_samples.h"
#include "support/paths.h"
#include "support/process.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <sstream>

namespace {

using image::IntelHexError;
using image::THEXFile;

// address -> byte for every byte the reader hands over.
struct Read {
    image::IntelHexReadResult result;
    std::map<uint32_t, uint8_t> bytes;
};

Read read(const std::string& text, int64_t relocateTo = -1) {
    Read r;
    r.result = image::readIntelHex(text, relocateTo, [&](uint32_t at, const uint8_t* b, size_t n) {
        for (size_t i = 0; i < n; ++i)
            r.bytes[at + static_cast<uint32_t>(i)] = b[i];
    });
    return r;
}

// A record line with its checksum, written independently of the writer.
std::string record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::ostringstream line;
    line << ':';
    char digits[3];
    for (uint8_t b : bytes) {
        sum += b;
        std::snprintf(digits, sizeof digits, "%02X", b);
        line << digits;
    }
    std::snprintf(digits, sizeof digits, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    line << digits << "\r\n";
    return line.str();
}

const std::vector<uint8_t> k16 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

TEST(IntelHexReader, RecordsAndFaults) {
    struct Case {
        const char* name;
        std::string text;
        int64_t relocateTo;
        IntelHexError error;
        std::map<uint32_t, uint8_t> expected; // a few bytes that must be there
        size_t count;                         // number of bytes handed over
    };
    std::string badChecksum = record(0, 0x0100, k16);
    badChecksum[badChecksum.size() - 3] ^= 1;
    std::string badDigit = record(0, 0x0100, k16);
    badDigit[12] = 'G';
    std::string shortLine = record(0, 0x0100, k16);
    shortLine.erase(30);
    std::string lower = record(0, 0xABC0, {0xAB, 0xCD});
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::vector<Case> cases = {
        {"16 bytes at 0x0100",
         record(0, 0x0100, k16) + ":00000001FF\r\n",
         -1,
         IntelHexError::None,
         {{0x100, 0}, {0x10F, 15}},
         16},
        {"LF line ends, no end record", ":0100000055AA\n", -1, IntelHexError::None, {{0, 0x55}}, 1},
        {"lower-case digits", lower, -1, IntelHexError::None, {{0xABC0, 0xAB}, {0xABC1, 0xCD}}, 2},
        {"type 04 base 0x0001",
         record(4, 0, {0x00, 0x01}) + record(0, 0x0010, {0x77}),
         -1,
         IntelHexError::None,
         {{0x10010, 0x77}},
         1},
        {"type 02 base 0x1000",
         record(2, 0, {0x10, 0x00}) + record(0, 0x0010, {0x77}),
         -1,
         IntelHexError::None,
         {{0x10010, 0x77}},
         1},
        {"last byte of the image",
         record(4, 0, {0x00, 0x7F}) + record(0, 0xFFFF, {0x42}),
         -1,
         IntelHexError::None,
         {{0x7FFFFF, 0x42}},
         1},
        {"data at 0x800000 rejects the file",
         record(4, 0, {0x00, 0x80}) + record(0, 0x0000, {0x42}),
         -1,
         IntelHexError::AddressOutOfRange,
         {},
         0},
        {"record crossing 0x800000",
         record(4, 0, {0x00, 0x7F}) + record(0, 0xFFFF, {1, 2}),
         -1,
         IntelHexError::AddressOutOfRange,
         {},
         0},
        {"bytes after an empty line are not read",
         record(0, 0, {1}) + "\r\n" + record(0, 1, {2}),
         -1,
         IntelHexError::None,
         {{0, 1}},
         1},
        {"end record stops reading", record(1, 0, {}) + record(0, 1, {2}), -1, IntelHexError::None, {}, 0},
        {"other record types are skipped",
         record(5, 0, {0, 0, 0x21, 0}) + record(0, 1, {2}),
         -1,
         IntelHexError::None,
         {{1, 2}},
         1},
        {"wrong checksum keeps earlier records",
         record(0, 0, {9}) + badChecksum,
         -1,
         IntelHexError::BadChecksum,
         {{0, 9}},
         1},
        {"empty data record checks its checksum", ":0000000001\r\n", -1, IntelHexError::BadChecksum, {}, 0},
        {"line without colon", "0100000055AA\r\n", -1, IntelHexError::MissingColon, {}, 0},
        {"bad digit", badDigit, -1, IntelHexError::BadDigit, {}, 0},
        {"line shorter than its count", shortLine, -1, IntelHexError::ShortLine, {}, 0},
        {"line shorter than its type", ":0100\r\n", -1, IntelHexError::ShortLine, {}, 0},
        {"short extended address record", ":02000004\r\n", -1, IntelHexError::ShortLine, {}, 0},
        {"relocated to 0x2100",
         record(0, 0x8000, {1}) + record(0, 0x9000, {2}) + record(0, 0x7000, {3}),
         0x2100,
         IntelHexError::None,
         {{0x2100, 1}, {0x3100, 2}, {0x1100, 3}},
         3},
        {"relocation keeps the extended base",
         record(4, 0, {0x00, 0x01}) + record(0, 0x2100, {1}) + record(0, 0x2200, {2}),
         0x12100,
         IntelHexError::None,
         {{0x12100, 1}, {0x12200, 2}},
         2},
        {"relocation below the first record wraps within 64 KiB",
         record(0, 0x8000, {1}) + record(0, 0x7000, {3}),
         0x100,
         IntelHexError::None,
         {{0x100, 1}, {0xF100, 3}},
         2},
        {"relocation moves the record address, not the extended base",
         record(4, 0, {0x00, 0x01}) + record(0, 0x8000, {1}) + record(0, 0x8010, {2}),
         0x2100,
         IntelHexError::None,
         {{0x12100, 1}, {0x12110, 2}},
         2},
        {"relocated data beyond the image still rejects the file",
         record(4, 0, {0x00, 0x7F}) + record(0, 0x0000, {1, 2}),
         0xFFFF,
         IntelHexError::AddressOutOfRange,
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Read r = read(c.text, c.relocateTo);
        EXPECT_EQ(r.result.error, c.error);
        EXPECT_EQ(r.bytes.size(), c.count);
        for (auto [address, value] : c.expected)
            EXPECT_EQ(r.bytes.count(address) ? r.bytes.at(address) : -1, value) << std::hex << address;
    }
}

// (type, address, byte count) of each line of the writer's output.
std::vector<std::tuple<int, int, int>> layout(const std::string& text) {
    std::vector<std::tuple<int, int, int>> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_EQ(line.back(), '\r');
        lines.emplace_back(std::stoi(line.substr(7, 2), nullptr, 16),
                           std::stoi(line.substr(3, 4), nullptr, 16),
                           std::stoi(line.substr(1, 2), nullptr, 16));
    }
    return lines;
}

TEST(IntelHexWriter, RecordLayout) {
    struct Case {
        const char* name;
        std::vector<std::pair<int32_t, int32_t>> filled;
        std::vector<std::tuple<int, int, int>> lines;
    };
    const std::vector<Case> cases = {
        {"two records in bank 0", {{0, 3}, {0x10, 0x11}}, {{2, 0, 2}, {0, 0, 4}, {0, 0x10, 2}, {1, 0, 0}}},
        {"split at a 16-byte boundary", {{0x0E, 0x11}}, {{2, 0, 2}, {0, 0x0E, 2}, {0, 0x10, 2}, {1, 0, 0}}},
        {"bank change", {{0x1FFFF, 0x20000}}, {{2, 0, 2}, {0, 0xFFFF, 1}, {2, 0, 2}, {0, 0, 1}, {1, 0, 0}}},
        {"full line", {{0x20, 0x3F}}, {{2, 0, 2}, {0, 0x20, 16}, {0, 0x30, 16}, {1, 0, 0}}},
        {"above 1 MiB uses type 04",
         {{0x10, 0x10}, {0x123456, 0x123456}},
         {{4, 0, 2}, {0, 0x10, 1}, {4, 0, 2}, {0, 0x3456, 1}, {1, 0, 0}}},
        {"empty image", {}, {{1, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = std::make_unique<THEXFile>();
        file->Clear();
        for (auto [from, to] : c.filled)
            for (int32_t a = from; a <= to; ++a)
                file->Filled[static_cast<size_t>(a)] = 1;
        file->Rescan();
        const std::string text =
            image::writeIntelHex({file->Data.data(), file->Filled.data(), file->StartAddr, file->EndAddr});
        EXPECT_EQ(layout(text), c.lines);
        if (std::get<0>(c.lines.front()) == 2 && c.filled.front().first < 0x10000) {
            EXPECT_EQ(text.substr(0, 17), ":020000020000FC\r\n");
        }
    }
    auto file = std::make_unique<THEXFile>();
    file->Clear();
    file->Filled[0x1FFFF] = file->Filled[0x20000] = 1;
    file->Rescan();
    const std::string text =
        image::writeIntelHex({file->Data.data(), file->Filled.data(), file->StartAddr, file->EndAddr});
    EXPECT_EQ(text.substr(0, 17), ":020000021000EC\r\n");
    EXPECT_NE(text.find(":020000022000DC\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
}

TEST(IntelHexFile, SparseImagesSurviveSaveAndLoad) {
    testsupport::TempDir dir;
    const std::vector<std::vector<std::pair<int32_t, int32_t>>> images = {
        {{0x2100, 0x3FFF}},
        {{0, 0}, {0xFFFF, 0x10010}, {0x7FFFF0, 0x7FFFFF}},
        {{0xFFFFF, 0x100000}},
        {{5, 9}, {0x21, 0x21}, {0x40000, 0x4FFFF}},
    };
    for (const auto& ranges : images) {
        auto file = std::make_unique<THEXFile>();
        file->Clear();
        uint8_t value = 1;
        for (auto [from, to] : ranges)
            for (int32_t a = from; a <= to; ++a) {
                file->Data[static_cast<size_t>(a)] = value += 7;
                file->Filled[static_cast<size_t>(a)] = 1;
            }
        file->Rescan();
        ASSERT_TRUE(file->SaveHexFile((dir / "out.hex").string()));
        auto loaded = std::make_unique<THEXFile>();
        ASSERT_TRUE(loaded->LoadFromFile(image::kFileTypeDetect, -1, false, (dir / "out.hex").string()));
        EXPECT_EQ(loaded->FileType, image::kFileTypeHex);
        EXPECT_EQ(loaded->Segments, file->Segments);
        EXPECT_TRUE(
            std::equal(file->Data.data(), file->Data.data() + image::kMaxImageSize, loaded->Data.data()));
    }
}

TEST(IntelHexFile, FailedLoadKeepsEarlierRecordsAndFailedAppendKeepsTheImage) {
    testsupport::TempDir dir;
    std::string bad = record(0, 0x0200, {1, 2});
    bad[bad.size() - 3] ^= 1;
    imagetest::writeFile(dir / "bad.hex", record(0, 0x0100, k16) + bad);
    auto file = std::make_unique<THEXFile>();
    const image::FileResult result =
        file->LoadFromFile(image::kFileTypeHex, -1, false, (dir / "bad.hex").string());
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message.rfind("Не могу открыть файл: " + (dir / "bad.hex").string(), 0), 0u);
    EXPECT_EQ(file->Segments, (std::vector<image::Segment>{{0x100, 16}}));

    imagetest::writeFile(dir / "good.bin", std::vector<uint8_t>(0x100, 0x33));
    ASSERT_TRUE(file->LoadFromFile(image::kFileTypeBinary, 0x2100, false, (dir / "good.bin").string()));
    EXPECT_FALSE(file->LoadFromFile(image::kFileTypeHex, 0x3000, true, (dir / "bad.hex").string()));
    EXPECT_EQ(file->Segments, (std::vector<image::Segment>{{0x2100, 0x100}}));
    EXPECT_EQ(file->Filled[0x3000], 0);
    EXPECT_EQ(file->FileName, (dir / "good.bin").string());

    // A good append merges and keeps the name of the first file.
    imagetest::writeFile(dir / "more.bin", std::vector<uint8_t>(16, 0x44));
    ASSERT_TRUE(file->LoadFromFile(image::kFileTypeBinary, 0x3000, true, (dir / "more.bin").string()));
    EXPECT_EQ(file->Segments, (std::vector<image::Segment>{{0x2100, 0x100}, {0x3000, 16}}));
    EXPECT_EQ(file->FileName, (dir / "good.bin").string());
}

// Everything a load may touch, to compare an image with itself before a load on top of it.
struct ImageState {
    std::vector<uint8_t> data, filled, raw;
    std::vector<image::Segment> segments;
    std::vector<uint16_t> list;
    std::string fileName;
    std::array<uint8_t, image::kVersionRecordSize> version{};
    int32_t start = 0, end = 0, versionPos = 0, listPos = 0, rawLength = 0;
    uint32_t crc = 0;
    uint8_t fileType = 0, status = 0;
    bool envelope = false, packed = false;
    bool operator==(const ImageState&) const = default;
};

ImageState stateOf(const THEXFile& f) {
    return {{f.Data.data(), f.Data.data() + f.Data.size()},
            {f.Filled.data(), f.Filled.data() + f.Filled.size()},
            {f.RawData.data(), f.RawData.data() + f.RawData.size()},
            f.Segments,
            f.CList,
            f.FileName,
            f.Version.bytes,
            f.StartAddr,
            f.EndAddr,
            f.VersionPos,
            f.CListPos,
            f.RawLength,
            f.CRC,
            f.FileType,
            f.Status,
            f.IsEnvelope,
            f.Packed};
}

TEST(IntelHexFile, FailedOrRefusedAppendLeavesEveryByteAsItWas) {
    testsupport::TempDir dir;
    // A packed envelope, good and with its compressed data broken: loaded at 0 it is decoded over
    // the whole image (raw bytes, data, every mark) before it fails or is refused.
    std::vector<uint8_t> envelope;
    std::string error;
    ASSERT_TRUE(image::buildEnvelope(*imagetest::makePlainImage(imagetest::compressibleBytes(0x3000, 3)),
                                     {"HDR", true}, envelope, error))
        << error;
    imagetest::writeFile(dir / "good.env", envelope);
    envelope[envelope.size() / 2] ^= 0x5A;
    imagetest::writeFile(dir / "broken.env", envelope);
    // Intel HEX whose first record lands on the contents before a bad line.
    std::string bad = record(0, 0x0200, {1, 2});
    bad[bad.size() - 3] ^= 1;
    imagetest::writeFile(dir / "bad.hex", record(0, 0x1010, k16) + bad);
    imagetest::writeFile(dir / "over.bin", std::vector<uint8_t>(0x2000, 0x44));

    struct Case {
        const char* what;
        uint8_t type;
        int32_t address;
        const char* file;
        bool refuse;
    };
    const Case cases[] = {
        {"bad hex line after a record over the contents", image::kFileTypeHex, -1, "bad.hex", false},
        {"binary over the contents, refused", image::kFileTypeBinary, 0x1800, "over.bin", true},
        {"packed envelope that does not unpack", image::kFileTypeBinary, 0, "broken.env", false},
        {"packed envelope, refused", image::kFileTypeBinary, 0, "good.env", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto file = imagetest::makePlainImage(imagetest::compressibleBytes(0x2000, 9), 0x1000);
        const ImageState before = stateOf(*file);
        bool asked = false;
        const auto accept = [&](const THEXFile&) { return asked = true, !c.refuse; };
        EXPECT_FALSE(file->LoadFromFile(c.type, c.address, true, (dir / c.file).string(), accept));
        EXPECT_EQ(asked, c.refuse);
        EXPECT_TRUE(stateOf(*file) == before);
    }
}

TEST(FileType, DetectionByFirstLinesAndBytes) {
    struct Case {
        const char* name;
        std::string content;
        uint8_t type;
    };
    const std::vector<Case> cases = {
        {"type 04 then data", ":020000040000FA\r\n:0100000055AA\r\n", image::kFileTypeHex},
        {"LF line ends", ":020000040000FA\n:0100000055AA\n", image::kFileTypeHex},
        {"only an end record", ":00000001FF\r\n", image::kFileTypeBinary},
        {"second line too short", ":020000040000FA\r\n:00\r\n", image::kFileTypeBinary},
        {"MAPBIN", std::string("MAPBIN0\0........", 16), image::kFileTypeMapBin},
        {"MAPBIN too short", std::string("MAPBIN0\0", 8), image::kFileTypeBinary},
        {"envelope", std::string("KTLA") + std::string(200, '\0'), image::kFileTypeBinary},
        {"empty", "", image::kFileTypeBinary},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        imagetest::writeFile(dir / "f", c.content);
        EXPECT_EQ(image::detectFileType((dir / "f").string()), c.type);
    }
    auto file = std::make_unique<THEXFile>();
    imagetest::writeFile(dir / "m", std::string("MAPBIN0\0........", 16));
    const image::FileResult result =
        file->LoadFromFile(image::kFileTypeDetect, -1, false, (dir / "m").string());
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message, "Формат MAPBIN не поддерживается: " + (dir / "m").string());
}

// srec_cat writes Intel HEX from a binary at an offset; the image must hold the same bytes. Then
// our own Intel HEX of that image, converted back to binary by srec_cat, must give them again.
TEST(IntelHexFile, SameBytesAsSrecCat) {
    if (!std::filesystem::exists("/usr/bin/srec_cat"))
        GTEST_SKIP() << "srec_cat (package srecord) is not installed";
    struct Case {
        const char* name;
        size_t size;
        uint32_t offset;
        std::vector<std::string> options;
    };
    const std::vector<Case> cases = {
        {"small at 0x2100", 5000, 0x2100, {}},
        {"across 64 KiB banks", 200000, 0xFF00, {}},
        {"16-byte records", 4099, 0x7000, {"-Output_Block_Size", "16"}},
        {"segment records", 70000, 0x3000, {"-Address_Length", "3"}},
        {"high in the image", 4096, 0x7FF000, {}},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = imagetest::randomBytes(c.size, static_cast<uint32_t>(c.size));
        imagetest::writeFile(dir / "in.bin", bytes);
        std::vector<std::string> args = {
            (dir / "in.bin").string(),   "-binary", "-offset", std::to_string(c.offset), "-o",
            (dir / "peer.hex").string(), "-intel"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(testsupport::runProcess("/usr/bin/srec_cat", args).exitCode, 0);

        auto file = std::make_unique<THEXFile>();
        ASSERT_TRUE(file->LoadFromFile(image::kFileTypeDetect, -1, false, (dir / "peer.hex").string()));
        ASSERT_EQ(file->StartAddr, static_cast<int32_t>(c.offset));
        ASSERT_EQ(file->Length, static_cast<int32_t>(c.size));
        EXPECT_EQ(file->FilledCount, static_cast<int32_t>(c.size));
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->Data.data() + c.offset));

        ASSERT_TRUE(file->SaveHexFile((dir / "ours.hex").string()));
        ASSERT_EQ(testsupport::runProcess("/usr/bin/srec_cat", {(dir / "ours.hex").string(), "-intel",
                                                                "-offset", "-" + std::to_string(c.offset),
                                                                "-o", (dir / "back.bin").string(), "-binary"})
                      .exitCode,
                  0);
        EXPECT_EQ(imagetest::readFile(dir / "back.bin"), bytes);
    }
}

} // namespace
