// The memory image: clearing, filled range and segments, stream loads at the buffer's end,
// rebuilding marks from the data, the image CRC and raw binary files.

#include "image/hex_file.h"
#include "image_samples.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

using image::Segment;
using image::THEXFile;

std::unique_ptr<THEXFile> clearedImage() {
    auto file = std::make_unique<THEXFile>();
    file->SetAutoCRC(true);
    file->Clear();
    return file;
}

void fill(THEXFile& file, int32_t from, int32_t to) {
    for (int32_t a = from; a <= to; ++a) {
        file.Data[static_cast<size_t>(a)] = static_cast<uint8_t>(a);
        file.Filled[static_cast<size_t>(a)] = 1;
    }
}

TEST(DumpFile, ClearLeavesAnEmptyImage) {
    auto file = std::make_unique<THEXFile>();
    fill(*file, 0x100, 0x1FF);
    file->BlockCount = 7;
    file->FileName = "x.bin";
    file->Clear();
    EXPECT_EQ(file->StartAddr, -1);
    EXPECT_EQ(file->EndAddr, -1);
    EXPECT_EQ(file->Length, 1);
    EXPECT_EQ(file->BlockCount, 0);
    EXPECT_TRUE(file->Segments.empty());
    EXPECT_TRUE(file->FileName.empty());
    for (int32_t a : {0, 0x100, 0x7FFFFF}) {
        EXPECT_EQ(file->Data[static_cast<size_t>(a)], 0xFF);
        EXPECT_EQ(file->Filled[static_cast<size_t>(a)], 0);
    }
}

TEST(DumpFile, RangeAndSegmentsFollowTheMarksInsideTheWindow) {
    struct Case {
        const char* name;
        std::vector<std::pair<int32_t, int32_t>> filled;
        int32_t low, high;
        int32_t start, end, filledCount;
        std::vector<Segment> segments;
    };
    const std::vector<Case> cases = {
        {"two runs", {{0x10, 0x1F}, {0x30, 0x3F}}, 0, 0x800000, 0x10, 0x3F, 32, {{0x10, 16}, {0x30, 16}}},
        {"narrowed window", {{0x10, 0x1F}, {0x30, 0x3F}}, 0x20, 0x3F, 0x30, 0x3F, 16, {{0x30, 16}}},
        {"window cuts a run", {{0x10, 0x1F}}, 0x18, 0x1B, 0x18, 0x1B, 4, {{0x18, 4}}},
        {"negative low, high past the buffer",
         {{0, 0}, {0x7FFFFF, 0x7FFFFF}},
         -5,
         0x7FFFFFFF,
         0,
         0x7FFFFF,
         2,
         {{0, 1}, {0x7FFFFF, 1}}},
        {"extra element at 0x800000 counts",
         {{0x800000, 0x800000}},
         0,
         0x800000,
         0x800000,
         0x800000,
         1,
         {{0x800000, 1}}},
        {"nothing filled in the window", {{0x10, 0x1F}}, 0x20, 0x3F, -1, -1, 0, {}},
        {"high below low", {{0x10, 0x1F}}, 0x30, 0x10, -1, -1, 0, {}},
        {"runs of one byte", {{1, 1}, {3, 3}, {5, 5}}, 0, 0x800000, 1, 5, 3, {{1, 1}, {3, 1}, {5, 1}}},
        {"far apart marks at the window's edges",
         {{0xFFF, 0xFFF}, {0x7FF000, 0x7FF000}},
         0xFFF,
         0x7FF000,
         0xFFF,
         0x7FF000,
         2,
         {{0xFFF, 1}, {0x7FF000, 1}}},
        {"far apart marks just outside the window",
         {{0xFFF, 0xFFF}, {0x7FF000, 0x7FF000}},
         0x1000,
         0x7FEFFF,
         -1,
         -1,
         0,
         {}},
    };
    auto file = clearedImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        file->Clear();
        for (auto [from, to] : c.filled)
            fill(*file, from, to);
        file->FindRange(c.low, c.high);
        EXPECT_EQ(file->StartAddr, c.start);
        EXPECT_EQ(file->EndAddr, c.end);
        EXPECT_EQ(file->Length, c.end - c.start + 1);
        EXPECT_EQ(file->FilledCount, c.filledCount);
        EXPECT_EQ(file->Segments, c.segments);
        // Marks outside the window stay set.
        for (auto [from, to] : c.filled)
            EXPECT_EQ(file->Filled[static_cast<size_t>(from)], 1);
    }
}

TEST(DumpFile, StreamLoadsStayInsideTheBuffer) {
    struct Case {
        int32_t address;
        size_t size;
        bool ok;
        int32_t start, end;
    };
    const std::vector<Case> cases = {
        {0x7FFFF8, 16, false, -1, -1},
        {0x7FFFF0, 16, true, 0x7FFFF0, 0x7FFFFF},
        {0x7FFFFF, 1, true, 0x7FFFFF, 0x7FFFFF},
        {0x800000, 1, false, -1, -1},
        {-10, 4, true, 0, 3},
        {0, 0x800000, true, 0, 0x7FFFFF},
        {1, 0x800000, false, -1, -1},
        {0x100, 0, true, -1, -1},
    };
    auto file = clearedImage();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const std::vector<uint8_t> bytes(c.size, 0x5A);
        EXPECT_EQ(file->LoadFromStream(c.address, bytes, false), c.ok);
        EXPECT_EQ(file->StartAddr, c.start);
        EXPECT_EQ(file->EndAddr, c.end);
        EXPECT_EQ(file->Filled[0x800000], 0);
    }
}

TEST(DumpFile, MarkNonBlankMarksFromFirstToLastNonEmptyByte) {
    auto file = clearedImage();
    file->Data[0x100] = 0x01;
    file->Data[0x1FF] = 0x02;
    file->MarkNonBlank();
    EXPECT_EQ(file->StartAddr, 0x100);
    EXPECT_EQ(file->EndAddr, 0x1FF);
    EXPECT_EQ(file->Segments, (std::vector<Segment>{{0x100, 256}}));

    // All bytes empty: the previous range is kept and marked again.
    file->Data[0x100] = 0xFF;
    file->Data[0x1FF] = 0xFF;
    file->MarkNonBlank();
    EXPECT_EQ(file->Segments, (std::vector<Segment>{{0x100, 256}}));

    // A previous range that is not inside the buffer marks nothing.
    file->Clear();
    file->MarkNonBlank();
    EXPECT_TRUE(file->Segments.empty());
    EXPECT_EQ(file->FilledCount, 0);
}

TEST(DumpFile, CrcCoversTheRangeWithTheConfiguredGenerator) {
    struct Case {
        const char* name;
        image::ImageCrcParams params;
        uint32_t expected;
    };
    image::ImageCrcParams swapped;
    swapped.swap = true;
    image::ImageCrcParams crc32{32, 0x04C11DB7, 0xFFFFFFFF, true, false, 0xFFFFFFFF};
    const std::vector<Case> cases = {
        {"settings defaults (MODBUS without swap)", {}, 0x4B37},
        {"byte swap", swapped, 0x374B},
        {"CRC-32", crc32, 0xCBF43926},
    };
    auto file = clearedImage();
    const std::string text = "123456789";
    file->LoadFromStream(0x2100, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        file->SetCRCParams(c.params);
        EXPECT_EQ(file->CRC, c.expected);
    }
    // An empty image feeds nothing: the CRC is the generator's reset value.
    file->Clear();
    EXPECT_EQ(file->CRC, 0xFFFFFFFFu ^ 0xFFFFFFFFu);
}

TEST(DumpFile, BinaryFilesLoadAtAnAddressAndSaveFromZero) {
    testsupport::TempDir dir;
    auto file = clearedImage();
    imagetest::writeFile(dir / "in.bin", std::vector<uint8_t>(0x100, 0x11));
    ASSERT_TRUE(file->LoadBinaryFile((dir / "in.bin").string(), 0x2100, false));
    EXPECT_EQ(file->FileName, (dir / "in.bin").string());
    ASSERT_TRUE(file->SaveBinaryFile((dir / "out.bin").string()));
    const std::vector<uint8_t> out = imagetest::readFile(dir / "out.bin");
    ASSERT_EQ(out.size(), 0x2200u);
    EXPECT_EQ(std::count(out.begin(), out.begin() + 0x2100, 0xFF), 0x2100);
    EXPECT_EQ(std::count(out.begin() + 0x2100, out.end(), 0x11), 0x100);

    // A file larger than the room above the address fails; an unwritable target names the path.
    EXPECT_FALSE(file->LoadBinaryFile((dir / "in.bin").string(), 0x7FFF01, false));
    EXPECT_FALSE(file->LoadBinaryFile((dir / "missing.bin").string(), 0, false));
    const std::string bad = (dir / "no-such-folder" / "out.bin").string();
    const image::FileResult saved = file->SaveBinaryFile(bad);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.message, "Не могу сохранить файл: " + bad);
}

} // namespace
