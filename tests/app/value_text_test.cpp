#include "app/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace app {
namespace {

using enum TViewStyle;

TEST(ValueText, ParsesEachNotation) {
    struct Case {
        const char* text;
        TViewStyle style;
        double value;
        bool shortened;
        bool invalid;
    };
    const Case cases[] = {
        {"", vsDEC, 0, false, false},
        {"", vsHEX, 0, false, false},
        {"11111111", vsBIN, 255, false, false},
        {"377", vsOCT, 255, false, false},
        {"FF", vsHEX, 255, false, false},
        {"FFFFFFFF", vsHEX, 4294967295.0, false, false},
        {"1F0", vsBIN, 2, false, true}, // skipped characters, value of the digits all the same
        {"ff", vsHEX, 0, false, true},  // only upper-case letters are digits
        {"-10", vsHEX, -16, false, false},
        {"12.5", vsDEC, 12.5, false, false},
        {"-0.25", vsDEC, -0.25, false, false},
        {"12.", vsDEC, 12, false, false},
        {"2147483647", vsDEC, 2147483647.0, false, false},
        {"-2147483648", vsDEC, -2147483648.0, false, false},
        {"2147483648", vsDEC, 214748364, true, false}, // beyond 32 bits: shortened
        {"-", vsDEC, 0, true, false},
        {".", vsDEC, 0, true, false},
        {"1A", vsDEC, 1, true, false},
        {"99999999999.5", vsDEC, 999999999, true, false}, // decimals go with the digits they follow
        {"1.2.3", vsDEC, 1.2, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedValue p = parseValueText(c.text, c.style);
        EXPECT_DOUBLE_EQ(p.value, c.value);
        EXPECT_EQ(p.shortened, c.shortened);
        EXPECT_EQ(p.invalid, c.invalid);
    }
    EXPECT_DOUBLE_EQ(parseValueText("3,75", vsDEC, ',').value, 3.75);
}

TEST(ValueText, FormatsRoundedValues) {
    struct Case {
        double value;
        TViewStyle style;
        double precision;
        const char* text;
    };
    const Case cases[] = {
        {255, vsBIN, 1, "11111111"},
        {255, vsOCT, 1, "377"},
        {255, vsDEC, 1, "255"},
        {255, vsHEX, 1, "FF"},
        {0, vsHEX, 1, "0"},
        {0, vsBIN, 1, "0"},
        {12.6, vsDEC, 1, "13"},
        {12.5, vsDEC, 1, "12"}, // halves to even
        {13.5, vsDEC, 1, "14"},
        {-0.4, vsDEC, 1, "0"}, // never "-0"
        {1.005, vsDEC, 0.01, "1.00"},
        {3.14159, vsDEC, 0.01, "3.14"},
        {3, vsDEC, 0.1, "3.0"},
        {1234, vsDEC, 10, "1230"},
        {0.7, vsHEX, 0.1, "1"}, // other notations show whole numbers
        {-16, vsHEX, 1, "-10"},
        {1048575, vsHEX, 1, "FFFFF"},
        {18446744073709551616.0, vsHEX, 1, "10000000000000000"}, // beyond 64 bits
        {0.1 + 0.2, vsDEC, 1e-20, "0.30000000000000000000"},     // 15 significant digits
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto text = formatValueText(c.value, c.style, c.precision);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(*text, c.text);
    }
    EXPECT_EQ(formatValueText(2.5, vsDEC, 0.1, ','), "2,5");
    EXPECT_FALSE(formatValueText(1, vsDEC, 0).has_value());
    EXPECT_FALSE(formatValueText(1, vsDEC, -1).has_value());
}

TEST(ValueText, FormattedTextReadsBack) {
    for (TViewStyle style : {vsBIN, vsOCT, vsDEC, vsHEX})
        for (double v : {0.0, 1.0, 7.0, 255.0, 1048575.0, -300.0, 2147483647.0}) {
            const auto text = formatValueText(v, style, 1);
            ASSERT_TRUE(text);
            EXPECT_DOUBLE_EQ(parseValueText(*text, style).value, v) << *text;
        }
    EXPECT_DOUBLE_EQ(parseValueText(*formatValueText(-12.75, vsDEC, 0.01), vsDEC).value, -12.75);
}

TEST(ValueText, LimitsOnlyWhenMinimumBelowMaximum) {
    EXPECT_EQ(clampValue(5000, 0, 0), 5000); // the default limits
    EXPECT_EQ(clampValue(-5, 10, 10), -5);   // equal limits
    EXPECT_EQ(clampValue(-5, 10, 1), -5);    // inverted limits
    EXPECT_EQ(clampValue(2000000, 0, 1048575), 1048575);
    EXPECT_EQ(clampValue(16, 32, 4096), 32);
    EXPECT_EQ(clampValue(100, 32, 4096), 100);
}

TEST(ValueText, StepAndIntegerValue) {
    EXPECT_EQ(stepSize(vsDEC, 0.01), 0.01);
    EXPECT_EQ(stepSize(vsHEX, 0.01), 1);
    EXPECT_EQ(stepSize(vsHEX, 16), 16);
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(1e12), 2147483647);
    EXPECT_EQ(roundHalfEven(-1e12), -2147483647 - 1);
    EXPECT_EQ(roundHalfEven(std::nan("")), 0);
}

TEST(ValueText, NotationButtonCycle) {
    const TViewStyles decHex{vsDEC, vsHEX};
    EXPECT_EQ(nextViewStyle(vsHEX, decHex), vsDEC);
    EXPECT_EQ(nextViewStyle(vsDEC, decHex), vsHEX);
    EXPECT_EQ(nextViewStyle(vsBIN, TViewStyles::all()), vsOCT);
    EXPECT_EQ(nextViewStyle(vsHEX, TViewStyles::all()), vsBIN);
    EXPECT_EQ(nextViewStyle(vsOCT, TViewStyles{vsOCT}), vsOCT); // only itself: nothing changes
    EXPECT_EQ(nextViewStyle(vsOCT, TViewStyles{}), vsOCT);
    EXPECT_EQ(nextViewStyle(vsDEC, TViewStyles{vsBIN}), vsBIN); // wraps around
}

TEST(ValueText, FiltersTypedText) {
    struct Case {
        std::u16string text;
        int caret;
        TViewStyle style;
        double precision;
        int remembered;
        std::u16string out;
        int outCaret;
        int separatorPos;
    };
    const Case cases[] = {
        {u"1A", 2, vsDEC, 1, -1, u"1", 1, -1},     {u"1f", 2, vsHEX, 1, -1, u"1F", 2, -1},
        {u"12G3", 3, vsHEX, 1, -1, u"123", 2, -1}, {u"A12", 1, vsDEC, 1, -1, u"12", 0, -1},
        {u"102", 3, vsBIN, 1, -1, u"10", 2, -1},   {u"-5", 2, vsDEC, 1, -1, u"-5", 2, -1},
        {u"5-", 2, vsDEC, 1, -1, u"5", 1, -1},     {u"-5", 2, vsHEX, 1, -1, u"5", 1, -1},
        {u"1.5", 3, vsDEC, 1, -1, u"15", 2, -1},   // whole numbers: no separator
        {u"1,5", 3, vsDEC, 0.1, -1, u"1.5", 3, 1}, // a comma becomes the separator
        {u"1.5.", 4, vsDEC, 0.1, 1, u"1.5", 3, 1}, // a second one is dropped
        {u".1.5", 1, vsDEC, 0.1, 2, u"1.5", 0, 1}, // typed before the old one
        {u"1.5", 3, vsHEX, 0.1, -1, u"15", 2, -1}, {u"1Б2", 3, vsDEC, 1, -1, u"12", 2, -1}, // non-ASCII
        {u"", 0, vsDEC, 1, -1, u"", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        const FilteredText f = filterValueText(c.text, c.caret, c.style, c.precision, '.', c.remembered);
        EXPECT_TRUE(f.text == c.out);
        EXPECT_EQ(f.caret, c.outCaret);
        EXPECT_EQ(f.separatorPos, c.separatorPos);
    }
}

} // namespace
} // namespace app
