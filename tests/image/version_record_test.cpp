// Version record and compatibility list: finding, checking against the image, text forms and the
// calendar date of the time stamp.

#include "image/calendar_date.h"
#include "image/compat_list.h"
#include "image/hex_file.h"
#include "image/hex_text.h"
#include "image/version_record.h"
#include "image_samples.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

using image::VersionRecord;

TEST(CalendarDate, AgreesWithTheCLibraryEverywhere) {
    // 2000-01-01 00:00:00 UTC in Unix time.
    constexpr int64_t kEpoch2000 = 946684800;
    std::vector<uint32_t> seconds = {0,          59,         86399,      86400,     31 * 86400,
                                     59 * 86400, 60 * 86400, 0x14ED2F41, 0xFFFFFFFF};
    // The first and last second of every year and month boundary up to 2136.
    for (int64_t day = 0; day < 49710; day += 1)
        if (day % 28 == 0 || day % 365 < 2)
            seconds.push_back(static_cast<uint32_t>(day * 86400 + (day % 86400)));
    for (uint32_t s : seconds) {
        const std::time_t t = static_cast<std::time_t>(kEpoch2000 + s);
        std::tm tm{};
        gmtime_r(&t, &tm);
        const image::CalendarDate d = image::secondsToDate(s);
        ASSERT_EQ(d, (image::CalendarDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                                          tm.tm_sec}))
            << s;
    }
}

TEST(VersionRecord, TextForms) {
    struct Case {
        imagetest::RecordFields fields;
        std::string version, full;
    };
    const std::vector<Case> cases = {
        {{"X", 2, 60, 1, 3, 0x14ED2F41, 1}, "2.60b1", "2.60b1.3.15.02.11"},
        {{"X", 4, 0, 0, 1, 0, 1}, "4.00", "4.00.1.01.01.00"},
        {{"X", 4, 0, 1, 5, 0x0000FFFF, 1}, "4.00b1", "4.00b1.5.??"},
        {{"X", 1, 5, 0, 0xFFFF, 31 * 86400, 1}, "1.05", "1.05.??.01.02.00"},
        // 2024-03-01 and 2004-01-01.
        {{"X", 1, 0, 0, 0, 762566400, 1}, "1.00", "1.00.0.01.03.24"},
        {{"X", 1, 0, 0, 0, 126230400, 1}, "1.00", "1.00.0.01.01.04"},
    };
    for (const Case& c : cases) {
        const VersionRecord r = imagetest::makeRecord(c.fields);
        EXPECT_EQ(image::VersionText(r), c.version);
        EXPECT_EQ(image::FullVersionText(r), c.full);
    }
    const VersionRecord blank{};
    EXPECT_EQ(image::VersionText(blank), "NONE");
    EXPECT_EQ(image::FullVersionText(blank), "NONE");
    EXPECT_FALSE(image::IsVersionPresent(image::emptyVersionRecord()));
    EXPECT_TRUE(image::IsVersionPresent(imagetest::makeRecord({"", 1, 0, 0, 0, 0, 0x0123})));
    EXPECT_TRUE(image::IsVersionBlank(blank));

    // SWID is the CRC-32 of the 32 owner bytes, padding included.
    VersionRecord digits = image::emptyVersionRecord();
    std::memcpy(digits.bytes.data() + 5, "123456789", 9);
    EXPECT_EQ(image::CalcSWID(digits), image::standardCrc32(digits.bytes.data() + 5, 32));
    EXPECT_EQ(image::standardCrc32(reinterpret_cast<const uint8_t*>("123456789"), 9), 0xCBF43926u);
}

TEST(HexText, Helpers) {
    EXPECT_EQ(image::ByteToHex(0x1F), "1F");
    EXPECT_EQ(image::ByteToHex0x(0xA), "0x0A");
    EXPECT_EQ(image::WordToHex0x(0x0123), "0x0123");
    EXPECT_EQ(image::DWordToHex0x(0xCBF43926), "0xCBF43926");
    const std::vector<std::pair<uint32_t, std::string>> addresses = {
        {0x2100, "0x2100"}, {0, "0x00"},  {0xFFFFFFFF, "0xFFFFFFFF"}, {0x3FFF, "0x3FFF"}, {0x12, "0x12"},
        {0x100, "0x100"},   {0x7, "0x07"}};
    for (const auto& [value, text] : addresses)
        EXPECT_EQ(image::AddrToHex0x(value), text);
}

TEST(VersionRecord, FoundAtTheFirstCompletePosition) {
    struct Case {
        const char* name;
        std::vector<std::pair<size_t, bool>> records; // offset, complete (end marker in place)
        size_t size;
        int32_t found;
    };
    const std::vector<Case> cases = {
        {"two records: the first wins", {{0x100, true}, {0x200, true}}, 0x400, 0x100},
        {"incomplete candidate skipped", {{0x80, false}, {0x200, true}}, 0x400, 0x200},
        {"record ending at the last byte", {{0x400 - 64, true}}, 0x400, 0x400 - 64},
        {"record past the end is not found", {{0x3F0, true}}, 0x3F0 + 63, -1},
        {"64-byte buffer", {{0, true}}, 64, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> buffer(0x500, 0xFF);
        for (auto [at, complete] : c.records) {
            VersionRecord r = imagetest::makeRecord();
            r.bytes[49] = static_cast<uint8_t>(at >> 4);
            if (!complete)
                r.bytes[59] = 'x';
            std::memcpy(buffer.data() + at, r.bytes.data(), 64);
        }
        VersionRecord found;
        EXPECT_EQ(image::FindVersionRecord(buffer.data(), static_cast<int64_t>(c.size), found), c.found);
        const VersionRecord expected = c.found >= 0 ? found : image::emptyVersionRecord();
        EXPECT_EQ(found, expected);
        if (c.found >= 0) {
            EXPECT_EQ(found.bytes[49], static_cast<uint8_t>(c.found >> 4));
        }
    }
}

TEST(VersionRecord, ImageCrcDetectsEveryChangedByte) {
    auto file = imagetest::makePlainImage(imagetest::randomBytes(0x1000, 7), 0x2100, 0x200);
    ASSERT_EQ(file->VersionPos, 0x2100 + 0x200);
    EXPECT_FALSE(file->Damaged());
    EXPECT_FALSE(file->SizeMismatch());
    EXPECT_EQ(file->Version.HWID(), 0x0123);

    const int32_t record = file->VersionPos;
    const std::vector<int32_t> covered = {0x2100,      0x2101,      record - 1,    record + 5,
                                          record + 53, record + 64, 0x2100 + 0xFFF};
    for (int32_t at : covered) {
        SCOPED_TRACE(at);
        file->Data[static_cast<size_t>(at)] ^= 0x01;
        if (at >= record && at < record + 64)
            file->FindVersion();
        file->Update();
        EXPECT_TRUE(file->Damaged());
        file->Data[static_cast<size_t>(at)] ^= 0x01;
        file->FindVersion();
        file->Update();
        EXPECT_FALSE(file->Damaged());
    }
    // Growing the image changes its length against ImageSize.
    file->Filled[0x2100 + 0x1000] = 1;
    file->Update();
    EXPECT_TRUE(file->SizeMismatch());
    EXPECT_TRUE(file->Damaged());

    // Narrowing the range to nothing reads nothing outside it.
    file->FindRange(0, 0x10);
    file->CheckImage();
    EXPECT_TRUE(file->Damaged());
}

TEST(CompatList, BlocksFoundAndChecked) {
    struct Case {
        const char* name;
        std::vector<uint16_t> entries;
        size_t at;
        size_t bufferSize;
        int corruptAt; // offset inside the block to change, -1 none
        int32_t position;
        bool crcBad;
    };
    const std::vector<Case> cases = {
        {"N = 0 is a 20-byte block", {}, 0x10, 0x100, -1, 0x10, false},
        {"three entries", {0x0123, 0x0200, 0xFFFF}, 0, 0x100, -1, 0, false},
        {"changed entry makes the CRC bad", {0x0123, 0x0200}, 4, 0x100, 9, 4, true},
        {"block reaching past the buffer", {0x0123}, 0x100 - 21, 0x100, -1, -1, false},
        {"block ending at the buffer's end", {0x0123}, 0x100 - 22, 0x100, -1, 0x100 - 22, false},
        {"missing end marker", {0x0123}, 0x10, 0x100, 15, -1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> buffer(c.bufferSize, 0);
        const std::vector<uint8_t> block = image::serializeCompatList(c.entries);
        ASSERT_EQ(block.size(), 20 + 2 * c.entries.size());
        std::copy(block.begin(), block.begin() + std::min(block.size(), c.bufferSize - c.at),
                  buffer.begin() + static_cast<ptrdiff_t>(c.at));
        if (c.corruptAt >= 0)
            buffer[c.at + static_cast<size_t>(c.corruptAt)] ^= 0x40;
        const image::CompatListMatch m = image::findCompatList(
            buffer.data(), static_cast<int64_t>(buffer.size()), static_cast<int64_t>(buffer.size()));
        EXPECT_EQ(m.position, c.position);
        EXPECT_EQ(m.crcBad, c.crcBad);
        if (c.position >= 0 && !c.crcBad) {
            EXPECT_EQ(m.entries, c.entries);
        }
    }
}

TEST(VersionRecord, ListFoundInsideTheImage) {
    auto file = imagetest::makePlainImage(imagetest::randomBytes(0x400, 3), 0, 0x40, {0x0124, 0x0125});
    EXPECT_EQ(file->CListPos, 0x40 + 64);
    EXPECT_EQ(file->CList, (std::vector<uint16_t>{0x0124, 0x0125}));
    EXPECT_FALSE(file->CListBad);
    file->Clear();
    EXPECT_EQ(file->VersionPos, -1);
    EXPECT_EQ(file->CListPos, -1);
    EXPECT_TRUE(file->CList.empty());
}

} // namespace
