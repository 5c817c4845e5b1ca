#include "base/codepage.h"

#include <gtest/gtest.h>

namespace {

TEST(Codepage, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = base::cp1251ToUtf8(all);
    EXPECT_TRUE(base::isValidUtf8(utf8));
    auto back = base::utf8ToCp1251(utf8);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);
}

struct Utf8Case {
    const char* utf8;
    bool ok;
    const char* cp1251;
};

TEST(Codepage, Utf8ToCp1251) {
    const Utf8Case cases[] = {
        {"PRTCL", true, "PRTCL"},
        {"\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0", true, "\xCE\xF8\xE8\xE1\xEA\xE0"}, // Ошибка
        {"\xD1\x91\xD0\x81", true, "\xB8\xA8"},                                                 // ёЁ
        {"\xE2\x84\x96", true, "\xB9"},                                                         // №
        {"\xE2\x82\xAC", true, "\x88"},                                                         // €
        {"\xE4\xB8\xAD", false, ""},     // a CJK character
        {"\xF0\x9F\x98\x80", false, ""}, // an emoji
        {"\xC3\xA9", false, ""},         // é: not in 1251
        {"\xD0", false, ""},             // cut sequence
        {"\xC0\x80", false, ""},         // overlong NUL
        {"\xED\xA0\x80", false, ""},     // surrogate
        {"\xFF", false, ""},
    };
    for (const auto& c : cases) {
        auto out = base::utf8ToCp1251(c.utf8);
        EXPECT_EQ(out.has_value(), c.ok) << c.utf8;
        if (c.ok && out) {
            EXPECT_EQ(*out, c.cp1251) << c.utf8;
        }
    }
}

} // namespace
