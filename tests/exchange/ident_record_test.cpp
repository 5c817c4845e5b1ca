#include "exchange/ident_record.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

using exchange::IdentRecord;

std::vector<uint8_t> freshBuffer() {
    std::vector<uint8_t> b(exchange::kIdentBufferSize, 0);
    for (size_t i = 0; i < 4; ++i)
        b[i] = static_cast<uint8_t>(0xA0 + i);
    b[7] = 0xB7;
    b[256] = 0xC0;
    return b;
}

TEST(IdentRecord, LayoutByLength) {
    struct Case {
        int length;
        size_t stringRoom, versionStart, versionRoom;
    };
    const Case cases[] = {
        {0, 0, 12, 244},      {5, 0, 12, 244},      {6, 0, 12, 244},      {7, 1, 13, 243},
        {128, 122, 134, 122}, {200, 122, 134, 122}, {255, 122, 134, 122},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        EXPECT_EQ(exchange::identStringRoom(c.length), static_cast<int>(c.stringRoom));
        EXPECT_EQ(exchange::versionTextRoom(c.length), static_cast<int>(c.versionRoom));

        IdentRecord r;
        r.networkNumber = 0x11;
        r.length = static_cast<uint8_t>(c.length);
        r.deviceId = 0x42;
        r.systemTableAddress = 0x1A2B;
        r.serialNumber = 65535;
        r.identString = std::string(300, 'S');
        r.versionText = std::string(300, 'V');
        auto buf = freshBuffer();
        ASSERT_EQ(exchange::StoreIdentRecord(r, buf), exchange::StoreIdentResult::Ok);
        // fixed fields keep their place whatever L says
        const std::vector<uint8_t> head = {0xA0, 0xA1, 0xA2, 0xA3, 0x11, static_cast<uint8_t>(c.length),
                                           0x42, 0xB7, 0x1A, 0x2B, 0xFF, 0xFF};
        EXPECT_EQ(std::vector<uint8_t>(buf.begin(), buf.begin() + 12), head);
        EXPECT_EQ(std::string(buf.begin() + 12, buf.begin() + 12 + static_cast<long>(c.stringRoom)),
                  std::string(c.stringRoom, 'S'));
        EXPECT_EQ(std::string(buf.begin() + static_cast<long>(c.versionStart), buf.begin() + 256),
                  std::string(c.versionRoom, 'V'));
        EXPECT_EQ(buf[256], 0xC0);

        IdentRecord back = exchange::ShowIdentRecord(buf);
        EXPECT_EQ(back.networkNumber, 0x11);
        EXPECT_EQ(back.length, c.length);
        EXPECT_EQ(back.deviceId, 0x42);
        EXPECT_EQ(back.systemTableAddress, 0x1A2B);
        EXPECT_EQ(back.serialNumber, 65535);
        EXPECT_EQ(back.identString, std::string(c.stringRoom, 'S'));
        EXPECT_EQ(back.versionText, std::string(c.versionRoom, 'V'));
    }
}

TEST(IdentRecord, TextsAreTrimmedPaddedAndConverted) {
    auto buf = freshBuffer();
    buf[5] = 16; // string bytes 12..21, version from 22
    const std::string ident = "ABC\xFF\xFF\xFF\xFF\xFF\xFF\xFF";
    std::copy(ident.begin(), ident.end(), buf.begin() + 12);
    const std::string version = "  v1.2\r\n\xD2\xE5\xF1\xF2\t";
    std::copy(version.begin(), version.end(), buf.begin() + 22);
    IdentRecord r = exchange::ShowIdentRecord(buf);
    EXPECT_EQ(r.identString, "ABC");
    EXPECT_EQ(r.versionText, "v1.2\nТест"); // zero bytes after it read as blanks

    r.identString = "Ключ";
    r.versionText = "a\nb";
    ASSERT_EQ(exchange::StoreIdentRecord(r, buf), exchange::StoreIdentResult::Ok);
    EXPECT_EQ(std::string(buf.begin() + 12, buf.begin() + 22), "\xCA\xEB\xFE\xF7      ");
    EXPECT_EQ(std::string(buf.begin() + 22, buf.begin() + 27), "a\r\nb ");
    EXPECT_EQ(buf[255], ' ');

    r.identString = "日本";
    auto before = buf;
    EXPECT_EQ(exchange::StoreIdentRecord(r, buf), exchange::StoreIdentResult::NotCp1251);
    EXPECT_EQ(buf, before);
    std::vector<uint8_t> small(255, 0);
    EXPECT_EQ(exchange::StoreIdentRecord(IdentRecord{}, small), exchange::StoreIdentResult::BufferTooSmall);
    // a short buffer reads as zero-filled
    IdentRecord empty = exchange::ShowIdentRecord(std::span<const uint8_t>(small.data(), 5));
    EXPECT_EQ(empty.versionText, "");
}

// Code page 1251 puts "я" at 0xFF, the byte of unwritten memory that reads back as a blank; such a
// character, like one the code page lacks, is refused in either text, leaving the buffer as it was.
TEST(IdentRecord, CharactersTheRecordCannotHold) {
    struct Case {
        std::string ident, version;
        std::optional<std::string> refused; // the first character refused, in either text
    };
    const Case cases[] = {
        {"Длинное имя устройства", "", "я"},
        {"Ключ", "верс. 2\nЯщик", std::nullopt}, // upper-case "Я" is 0xDF
        {"ABC", "Серия", "я"},
        {"日本", "", "日"},
        {std::string("A\0B", 3), "", std::string(1, '\0')},
        {"A\xFF", "", "\xFF"}, // no valid UTF-8
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ident + "|" + c.version);
        const auto found = exchange::unstorableCharacter(c.ident) ? exchange::unstorableCharacter(c.ident)
                                                                  : exchange::unstorableCharacter(c.version);
        EXPECT_EQ(found, c.refused);
        auto buf = freshBuffer();
        const auto before = buf;
        IdentRecord r;
        r.length = 40;
        r.identString = c.ident;
        r.versionText = c.version;
        const auto result = exchange::StoreIdentRecord(r, buf);
        EXPECT_EQ(result == exchange::StoreIdentResult::Ok, !c.refused);
        if (c.refused) {
            EXPECT_EQ(buf, before);
        }
    }
}

TEST(IdentRecord, VersionTextIsCutToItsRoom) {
    struct Case {
        std::string text;
        int length;
        std::string kept;
        int remaining;
    };
    const Case cases[] = {
        {"abc", 128, "abc", 119},
        {std::string(130, 'x'), 128, std::string(122, 'x'), 0},
        {std::string(121, 'x') + "\nz", 128, std::string(121, 'x'), 1}, // a line break takes two
        {std::string(120, 'x') + "\r\nz", 128, std::string(120, 'x') + "\r\n", 0},
        {std::string(121, 'x') + "ЖЖ", 128, std::string(121, 'x') + "Ж", 0}, // never inside a character
        {std::string(250, 'x'), 0, std::string(244, 'x'), 0},
    };
    for (const auto& c : cases) {
        auto f = exchange::fitVersionText(c.text, c.length);
        EXPECT_EQ(f.text, c.kept);
        EXPECT_EQ(f.remaining, c.remaining);
    }
    // a cut CR LF never leaves half of it in the record
    IdentRecord r;
    r.length = 128;
    r.versionText = std::string(121, 'x') + "\nz";
    std::vector<uint8_t> buf(exchange::kIdentBufferSize, 0);
    ASSERT_EQ(exchange::StoreIdentRecord(r, buf), exchange::StoreIdentResult::Ok);
    EXPECT_EQ(buf[255], ' ');
}

TEST(IdentRecord, NumbersTypedByTheUser) {
    struct Case {
        const char* text;
        uint32_t max;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"17", 255, true, 17},
        {"0x11", 255, true, 17},
        {"$1A2B", 0xFFFF, true, 0x1A2B},
        {"x1f", 255, true, 31},
        {" 5 ", 255, true, 5},
        {"256", 255, false, 0},
        {"0x", 255, false, 0},
        {"12a", 255, false, 0},
        {"", 255, false, 0},
        {"-1", 255, false, 0},
        {"99999999999999999999", 0xFFFF, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t v = 0;
        EXPECT_EQ(exchange::parseNumberText(c.text, c.max, v), c.ok);
        if (c.ok) {
            EXPECT_EQ(v, c.value);
        }
    }
    EXPECT_EQ(exchange::hexText(0x1A2B, 4), "0x1A2B");
    EXPECT_EQ(exchange::hexText(5, 2), "0x05");
}

} // namespace
