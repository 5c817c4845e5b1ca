// Packed envelopes: the running-sum coder, round trips through files of many sizes, saving
// without changing the image, damaged and malformed envelopes, and hostile input.

#include "image/envelope_builder.h"
#include "image/envelope_format.h"
#include "image/hex_file.h"
#include "image/running_sum_coder.h"
#include "image_samples.h"
#include "support/paths.h"

#include <gtest/gtest.h>

namespace {

using image::THEXFile;

std::unique_ptr<THEXFile> loaded(const std::filesystem::path& path, image::FileResult* result = nullptr) {
    auto file = std::make_unique<THEXFile>();
    file->SetAutoCRC(true);
    const image::FileResult r = file->LoadFromFile(image::kFileTypeDetect, -1, false, path.string());
    if (result)
        *result = r;
    return file;
}

std::vector<uint8_t> envelopeOf(const THEXFile& plain, bool packed, const std::string& header = "HDR") {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(image::buildEnvelope(plain, {header, packed}, bytes, error)) << error;
    return bytes;
}

bool sameContents(const THEXFile& a, const THEXFile& b) {
    return std::equal(a.Data.data(), a.Data.data() + image::kImageBufferSize, b.Data.data()) &&
           std::equal(a.Filled.data(), a.Filled.data() + image::kImageBufferSize, b.Filled.data());
}

// The standard CRC-32, bit by bit, and the running-sum coder, both written from their definitions so
// that the envelopes below do not lean on the code under test.
uint32_t crc32Of(const std::vector<uint8_t>& bytes, uint32_t crc = 0xFFFFFFFFu) {
    for (const uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

std::vector<uint8_t> runningSumCoded(std::vector<uint8_t> bytes) {
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = sum = static_cast<uint8_t>(sum + i + bytes[i]);
    return bytes;
}

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t le32At(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The record's ImageCRC for an unpacked envelope whose list block starts at T, fed the block coded
// (as it stands in the file) or plain.
uint32_t unpackedImageCrc(const std::vector<uint8_t>& file, const std::vector<uint8_t>& plainRecord, size_t t,
                          bool listCoded) {
    const std::vector<uint8_t> list(file.begin() + static_cast<ptrdiff_t>(t), file.end());
    std::vector<uint8_t> plainList = list;
    image::runningSumDecode(plainList);
    uint32_t crc = crc32Of({file.begin(), file.begin() + 4});
    crc = crc32Of({file.begin() + 4, file.begin() + 36}, crc);
    crc = crc32Of({plainRecord.begin(), plainRecord.begin() + 54}, crc);
    crc = crc32Of({0xFF, 0xFF, 0xFF, 0xFF}, crc);
    crc = crc32Of({plainRecord.begin() + 58, plainRecord.end()}, crc);
    crc = crc32Of({file.begin() + 100, file.begin() + static_cast<ptrdiff_t>(t)}, crc);
    crc = crc32Of(listCoded ? list : plainList, crc);
    return crc ^ 0xFFFFFFFFu;
}

// An unpacked envelope laid out field by field: magic, coded header, coded record, T at 104, byte 112
// zero, firmware bytes from 124 up to T, then the coded list block with two entries.
std::vector<uint8_t> foreignUnpackedEnvelope(std::vector<uint8_t>& plainRecord, size_t t) {
    std::vector<uint8_t> file(t, 0);
    std::memcpy(file.data(), "KTLA", 4);
    std::vector<uint8_t> header(32, ' ');
    std::memcpy(header.data(), "FOREIGN", 7);
    header = runningSumCoded(header);
    std::copy(header.begin(), header.end(), file.begin() + 4);
    putLe32(file, 104, static_cast<uint32_t>(t));
    for (size_t i = 124; i < t; ++i)
        file[i] = static_cast<uint8_t>(i * 7);
    std::vector<uint8_t> list = {'<', 'C', 'L', 'I', 'S', 'T', '>', 2, 0x24, 0x01, 0x31, 0x01, 0, 0, 0, 0};
    putLe32(list, 12, crc32Of({list.begin() + 7, list.begin() + 12}) ^ 0xFFFFFFFFu);
    for (const char c : std::string("</CLIST>"))
        list.push_back(static_cast<uint8_t>(c));
    list = runningSumCoded(list);
    file.insert(file.end(), list.begin(), list.end());
    const image::VersionRecord record = imagetest::makeRecord();
    plainRecord.assign(record.bytes.begin(), record.bytes.end());
    putLe32(plainRecord, 50, static_cast<uint32_t>(file.size()));
    return file;
}

TEST(RunningSumCoder, EncodesAndDecodes) {
    std::vector<uint8_t> bytes = {0x41, 0x42, 0x43};
    image::runningSumEncode(bytes);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x41, 0x84, 0xC9}));
    const std::vector<uint8_t> plain = imagetest::randomBytes(300, 1);
    bytes = plain;
    image::runningSumEncode(bytes);
    image::runningSumDecode(bytes);
    EXPECT_EQ(bytes, plain);
}

TEST(Envelope, MinimalUnpackedEnvelopeLoadsAsItStands) {
    std::vector<uint8_t> bytes(120, 0);
    std::memcpy(bytes.data(), "KTLA", 4);
    const image::VersionRecord record = imagetest::makeRecord();
    image::encodeInto(bytes.data() + 36, record.bytes.data(), 64);
    image::writeLe32(bytes.data() + 104, 120);
    testsupport::TempDir dir;
    imagetest::writeFile(dir / "e.q7r", bytes);
    auto file = loaded(dir / "e.q7r");
    EXPECT_EQ(file->FileType, image::kFileTypeEnvelope);
    EXPECT_TRUE(file->Encoded);
    EXPECT_FALSE(file->Packed);
    EXPECT_EQ(file->VersionPos, 36);
    EXPECT_EQ(file->Version, record);
    EXPECT_EQ(file->StartAddr, 0);
    EXPECT_EQ(file->EndAddr, 119);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), file->Data.data()));
}

// Envelopes from other writers feed the list block to the image CRC coded or plain: both load
// undamaged, a CRC that matches neither is damaged. Ours feed it coded, as it stands in the file.
TEST(Envelope, ImageCrcAcceptsTheListBlockCodedOrPlain) {
    constexpr size_t kT = 0x200;
    struct Case {
        const char* name;
        int reading; // 0 coded, 1 plain, 2 neither
        bool damaged;
    };
    testsupport::TempDir dir;
    for (const Case& c : std::vector<Case>{{"coded", 0, false}, {"plain", 1, false}, {"neither", 2, true}}) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> record;
        std::vector<uint8_t> bytes = foreignUnpackedEnvelope(record, kT);
        uint32_t crc = unpackedImageCrc(bytes, record, kT, c.reading != 1);
        if (c.reading == 2)
            crc ^= 1;
        putLe32(record, 54, crc);
        const std::vector<uint8_t> coded = runningSumCoded(record);
        std::copy(coded.begin(), coded.end(), bytes.begin() + 36);
        imagetest::writeFile(dir / "f.q7r", bytes);
        image::FileResult result;
        auto file = loaded(dir / "f.q7r", &result);
        ASSERT_TRUE(result) << result.message;
        EXPECT_TRUE(file->IsEnvelope);
        EXPECT_EQ(file->CList, (std::vector<uint16_t>{0x0124, 0x0131}));
        EXPECT_EQ(image::envelopeHeaderText(file->Header), "FOREIGN");
        EXPECT_EQ(file->Damaged(), c.damaged);
    }

    auto plain = imagetest::makePlainImage(imagetest::randomBytes(0x300, 21), 0x2100);
    const std::vector<uint8_t> ours = envelopeOf(*plain, false);
    std::vector<uint8_t> record(ours.begin() + 36, ours.begin() + 100);
    image::runningSumDecode(record);
    const size_t t = le32At(ours, 104);
    EXPECT_EQ(le32At(record, 54), unpackedImageCrc(ours, record, t, true));
}

// Pack a plain image, save the envelope, load it: same bytes from address 0, same record and list,
// not damaged. Saving it again writes an envelope that loads the same, and leaves the image alone.
TEST(Envelope, RoundTripsThroughFiles) {
    struct Case {
        const char* name;
        std::vector<uint8_t> firmware;
        bool packed;
    };
    const std::vector<Case> cases = {
        {"empty", {}, true},
        {"1 byte", {0x5A}, true},
        {"8192 bytes", imagetest::randomBytes(8192, 2), true},
        {"8193 bytes", imagetest::randomBytes(8193, 3), true},
        {"70000 bytes", imagetest::compressibleBytes(70000, 4), true},
        {"1 MiB random", imagetest::randomBytes(1 << 20, 5), true},
        {"8 MiB compressible", imagetest::compressibleBytes(image::kMaxImageSize, 6), true},
        {"unpacked 70000 bytes", imagetest::randomBytes(70000, 7), false},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // An unpacked envelope is its image as it stands: its firmware lies above the envelope's fields.
        const int32_t at = c.packed ? 0 : 0x2100;
        auto plain = imagetest::makePlainImage(c.firmware, at);
        const bool hasRecord = plain->VersionPos >= 0;
        imagetest::writeFile(dir / "a.q7r", envelopeOf(*plain, c.packed));

        image::FileResult result;
        auto file = loaded(dir / "a.q7r", &result);
        ASSERT_TRUE(result) << result.message;
        EXPECT_EQ(file->FileType, image::kFileTypeEnvelope);
        EXPECT_EQ(file->Packed, c.packed);
        EXPECT_FALSE(file->Damaged());
        EXPECT_FALSE(file->SizeMismatch());
        EXPECT_EQ(image::envelopeHeaderText(file->Header), "HDR");
        if (hasRecord) {
            EXPECT_EQ(image::FullVersionText(file->Version), "2.60b1.3.15.02.11");
            EXPECT_EQ(file->CList, (std::vector<uint16_t>{0x0124, 0x0125}));
        }
        if (c.packed) {
            EXPECT_EQ(file->StartAddr, c.firmware.empty() ? -1 : 0);
            EXPECT_EQ(file->FilledCount, static_cast<int32_t>(c.firmware.size()));
        }
        // Every firmware byte at its own address.
        EXPECT_TRUE(std::equal(plain->Data.data() + at, plain->Data.data() + at + c.firmware.size(),
                               file->Data.data() + at));

        // Saving re-encodes into the file but leaves the decoded image as it was.
        auto before = loaded(dir / "a.q7r");
        ASSERT_TRUE(file->SaveBinaryFile((dir / "b.q7r").string()));
        ASSERT_TRUE(file->SaveHexFile((dir / "b.hex").string()));
        EXPECT_TRUE(sameContents(*file, *before));
        EXPECT_EQ(file->Version, before->Version);
        for (const char* name : {"b.q7r", "b.hex"}) {
            auto again = loaded(dir / name, &result);
            ASSERT_TRUE(result) << result.message;
            EXPECT_EQ(again->FileType, image::kFileTypeEnvelope);
            EXPECT_FALSE(again->Damaged()) << name;
            EXPECT_TRUE(sameContents(*again, *file)) << name;
            EXPECT_EQ(again->Version, file->Version);
            EXPECT_EQ(again->CList, file->CList);
        }
        if (!c.packed) {
            // The list block is replaced in place: the size does not change.
            EXPECT_EQ(imagetest::readFile(dir / "b.q7r"), imagetest::readFile(dir / "a.q7r"));
        }
    }
}

// After Clear (a device read, a cleared buffer) the contents are no envelope: a save writes the bytes
// as they are, not an envelope's header over them.
TEST(Envelope, ClearLeavesNoEnvelopeBehind) {
    testsupport::TempDir dir;
    for (const bool packed : {true, false}) {
        SCOPED_TRACE(packed ? "packed" : "unpacked");
        auto plain = imagetest::makePlainImage(imagetest::randomBytes(0x300, 22), packed ? 0 : 0x2100);
        imagetest::writeFile(dir / "e.q7r", envelopeOf(*plain, packed));
        auto file = loaded(dir / "e.q7r");
        ASSERT_TRUE(file->IsEnvelope);
        file->Clear();
        EXPECT_FALSE(file->IsEnvelope);
        std::vector<uint8_t> read(0x200);
        for (size_t i = 0; i < read.size(); ++i)
            read[i] = static_cast<uint8_t>(i * 3);
        ASSERT_TRUE(file->LoadFromStream(0x2100, read, true));
        ASSERT_TRUE(file->SaveBinaryFile((dir / "read.bin").string()));
        std::vector<uint8_t> expected(0x2100, 0xFF);
        expected.insert(expected.end(), read.begin(), read.end());
        EXPECT_TRUE(imagetest::readFile(dir / "read.bin") == expected);
    }
}

TEST(Envelope, PackedEnvelopeWithoutListEndsAtT) {
    auto plain = imagetest::makePlainImage(imagetest::randomBytes(5000, 9), 0, 0x40, {});
    ASSERT_EQ(plain->CListPos, -1);
    testsupport::TempDir dir;
    imagetest::writeFile(dir / "a.q7r", envelopeOf(*plain, true));
    auto file = loaded(dir / "a.q7r");
    ASSERT_TRUE(file->IsEnvelope);
    ASSERT_TRUE(file->SaveBinaryFile((dir / "b.q7r").string()));
    const std::vector<uint8_t> saved = imagetest::readFile(dir / "b.q7r");
    EXPECT_EQ(image::readLe32(saved.data() + 104), saved.size());
}

TEST(Envelope, IncompressibleFullImageFailsTheSaveCleanly) {
    auto plain = imagetest::makePlainImage(imagetest::compressibleBytes(4096, 10));
    testsupport::TempDir dir;
    imagetest::writeFile(dir / "a.q7r", envelopeOf(*plain, true));
    auto file = loaded(dir / "a.q7r");
    ASSERT_TRUE(file->IsEnvelope);
    const std::vector<uint8_t> noise = imagetest::randomBytes(image::kMaxImageSize, 11);
    std::copy(noise.begin(), noise.end(), file->Data.data());
    std::fill(file->Filled.data(), file->Filled.data() + image::kMaxImageSize, 1);
    file->Update();

    imagetest::writeFile(dir / "keep.q7r", std::string("old contents"));
    const std::string target = (dir / "keep.q7r").string();
    for (bool hex : {false, true}) {
        const image::FileResult result = hex ? file->SaveHexFile(target) : file->SaveBinaryFile(target);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, "Не могу сохранить файл: " + target);
    }
    EXPECT_EQ(imagetest::readFile(dir / "keep.q7r"),
              std::vector<uint8_t>({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
    EXPECT_TRUE(std::equal(noise.begin(), noise.end(), file->Data.data()));
    EXPECT_EQ(file->EndAddr, image::kMaxImageSize - 1);
}

TEST(Envelope, DamagedAndMalformedEnvelopesFailTheLoad) {
    auto plain = imagetest::makePlainImage(imagetest::compressibleBytes(20000, 12));
    const std::vector<uint8_t> good = envelopeOf(*plain, true);
    const size_t total = image::readLe32(good.data() + 104);
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> change;
        bool damaged;
    };
    const std::vector<Case> cases = {
        {"compressed byte changed", [&](auto& b) { b[total - 10] ^= 0x10; }, true},
        {"original size changed", [](auto& b) { b[129 + 8] ^= 0x01; }, true},
        {"T past the file",
         [](auto& b) { image::writeLe32(b.data() + 104, static_cast<uint32_t>(b.size() + 1)); }, false},
        {"T inside the header", [](auto& b) { image::writeLe32(b.data() + 104, 50); }, false},
        {"cut inside the header", [](auto& b) { b.resize(100); }, false},
        {"cut inside the compressed data", [&](auto& b) { b.resize(total - 100); }, false},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = good;
        c.change(bytes);
        imagetest::writeFile(dir / "bad.q7r", bytes);
        image::FileResult result;
        auto file = loaded(dir / "bad.q7r", &result);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.damaged, c.damaged);
        EXPECT_EQ(file->Damaged(), c.damaged);
        EXPECT_FALSE(file->IsEnvelope);
        const std::string path = (dir / "bad.q7r").string();
        const std::string expected = c.damaged ? "Файл поврежден :" + path : "Не могу открыть файл: " + path;
        EXPECT_EQ(result.message.substr(0, expected.size()), expected);
        // The flag survives further updates until the next load or Clear.
        file->Update();
        EXPECT_EQ(file->Damaged(), c.damaged);
        file->Clear();
        EXPECT_FALSE(file->Damaged());
    }

    // A changed record byte in the header of an envelope that unpacks: loads, shown damaged.
    std::vector<uint8_t> bytes = good;
    bytes[36 + 40] ^= 0x01;
    imagetest::writeFile(dir / "rec.q7r", bytes);
    image::FileResult result;
    auto file = loaded(dir / "rec.q7r", &result);
    EXPECT_TRUE(result);
    EXPECT_TRUE(file->Damaged());
    EXPECT_EQ(file->VersionPos, 0);

    // A header without a record (no markers): the firmware loads, and no record is present, as for
    // any other file without one.
    bytes = good;
    std::fill(bytes.begin() + 36, bytes.begin() + 100, 0);
    imagetest::writeFile(dir / "norec.q7r", bytes);
    file = loaded(dir / "norec.q7r", &result);
    EXPECT_TRUE(result) << result.message;
    EXPECT_TRUE(file->IsEnvelope);
    EXPECT_EQ(file->VersionPos, -1);
    EXPECT_FALSE(file->Damaged());
}

// Truncated, flipped and random input never makes a reader touch memory outside its buffers
// (checked by the sanitizer build) and never reports a broken file as a good envelope.
TEST(Envelope, HostileInputIsRejectedSafely) {
    auto plain = imagetest::makePlainImage(imagetest::compressibleBytes(3000, 13));
    const std::vector<uint8_t> packed = envelopeOf(*plain, true);
    const std::vector<uint8_t> unpacked =
        envelopeOf(*imagetest::makePlainImage(imagetest::compressibleBytes(3000, 13), 0x2100), false);
    auto file = std::make_unique<THEXFile>();
    file->SetAutoCRC(true);
    // A load that succeeds undamaged must have restored the original firmware.
    auto load = [&](const std::vector<uint8_t>& bytes) {
        const bool ok = file->LoadWholeStream(bytes);
        if (ok && file->IsEnvelope && file->Packed && !file->Damaged()) {
            EXPECT_EQ(file->Length, plain->Length);
            EXPECT_TRUE(
                std::equal(plain->Data.data(), plain->Data.data() + plain->Length, file->Data.data()));
        }
    };
    std::mt19937 rng(14);
    for (const auto* source : {&packed, &unpacked}) {
        for (size_t size = 0; size < source->size(); size += 1 + size / 8)
            load({source->begin(), source->begin() + static_cast<ptrdiff_t>(size)});
        for (int i = 0; i < 60; ++i) {
            std::vector<uint8_t> bytes = *source;
            bytes[rng() % bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
            load(bytes);
        }
    }
    for (uint32_t seed = 0; seed < 20; ++seed) {
        std::vector<uint8_t> bytes = imagetest::randomBytes(200 + seed * 37, seed);
        std::memcpy(bytes.data(), "KTLA", 4);
        bytes[112] = 1;
        image::writeLe32(bytes.data() + 104, static_cast<uint32_t>(bytes.size() - seed));
        load(bytes);
    }

    // Intel HEX text cut anywhere or with a changed character loads, or fails with a message.
    testsupport::TempDir dir;
    ASSERT_TRUE(plain->SaveHexFile((dir / "a.hex").string()));
    const std::vector<uint8_t> hex = imagetest::readFile(dir / "a.hex");
    for (int i = 0; i < 60; ++i) {
        std::vector<uint8_t> bytes(hex.begin(), hex.begin() + static_cast<ptrdiff_t>(rng() % hex.size()));
        if (i % 2 && !bytes.empty())
            bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
        imagetest::writeFile(dir / "b.hex", bytes);
        const image::FileResult r =
            file->LoadFromFile(image::kFileTypeHex, -1, false, (dir / "b.hex").string());
        EXPECT_TRUE(r || !r.message.empty());
    }
}

} // namespace
