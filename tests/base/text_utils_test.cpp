#include "base/text_utils.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

using namespace base;

TEST(TextUtils, UpperCaseWorksOnCharacters) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"abc_xyz09", "ABC_XYZ09"},
        {"\xD0\xB0\xD1\x8F", "\xD0\x90\xD0\xAF"}, // ая -> АЯ
        {"\xD1\x91", "\xD0\x81"},                 // ё -> Ё
        {"\xD0\x90\xD0\x81", "\xD0\x90\xD0\x81"}, // already upper
        {"\xD1\x96\xD1\x9E", "\xD1\x96\xD1\x9E"}, // і ў: outside а-я, unchanged
        {"\xC3\xA9", "\xC3\xA9"},                 // é: not touched
        {"a\xFF"
         "b\xD0",
         "A\xFF"
         "B\xD0"}, // invalid bytes kept as they are
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UpperCaseText(c.in), c.out) << c.in;
}

TEST(TextUtils, TemplateTextHelpers) {
    EXPECT_EQ(NormalizeTemplateText(" 0x01;\r\nhigh( addr );\n"), "0X01;HIGH(ADDR);");
    EXPECT_EQ(NormalizeTemplateText("a\tb"), "A\tB"); // tabs are not removed
    EXPECT_EQ(BreakAfterSemicolons("A;B;"), "A;\r\nB;\r\n");
    EXPECT_EQ(BreakAfterSemicolons("AB"), "AB");
    EXPECT_EQ(TrimBlanks(" \t a b\t "), "a b");
    EXPECT_EQ(TrimBlanks(" \t "), "");
    EXPECT_EQ(TrimBlanks("\r\nx\r\n"), "\r\nx\r\n"); // only spaces and tabs
}

TEST(TextUtils, IsIdentifier) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"A", true},    {"addr_1", true}, {"X_", true},        {"", false},  {"1A", false},
        {"_A", false},  {"A-B", false},   {"**", false},       {"^", false}, {"A B", false},
        {"$FF", false}, {"A.B", false},   {"\xD0\x90", false}, // Cyrillic А is not a Latin letter
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsIdentifier(c.text), c.ok) << c.text;
}

TEST(TextUtils, Lists) {
    EXPECT_TRUE(IsInList({"SIN", "COS"}, "COS"));
    EXPECT_FALSE(IsInList({"SIN", "COS"}, "cos")); // letter case matters
}

} // namespace
