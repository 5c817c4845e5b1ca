#pragma once
// The window-free rules of the numeric value edit: a number held as text in binary, octal, decimal or
// hexadecimal notation, with a step size that is also the rounding unit, optional limits and a filter
// for typed characters. Texts are ASCII (the field keeps only digits, "-" and the separator); the
// filter works on UTF-16 so that its caret positions are those of the text field.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// Notations, in the order the notation button cycles through them.
enum class TViewStyle : std::uint8_t { vsBIN = 0, vsOCT = 1, vsDEC = 2, vsHEX = 3 };

// A set of notations.
class TViewStyles {
  public:
    constexpr TViewStyles() = default;
    constexpr TViewStyles(std::initializer_list<TViewStyle> styles) {
        for (TViewStyle s : styles)
            m_bits = static_cast<std::uint8_t>(m_bits | bit(s));
    }
    static constexpr TViewStyles all() {
        return {TViewStyle::vsBIN, TViewStyle::vsOCT, TViewStyle::vsDEC, TViewStyle::vsHEX};
    }
    constexpr bool contains(TViewStyle s) const { return (m_bits & bit(s)) != 0; }
    constexpr bool operator==(const TViewStyles&) const = default;

  private:
    static constexpr std::uint8_t bit(TViewStyle s) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(s));
    }
    std::uint8_t m_bits = 0;
};

inline constexpr char kDefaultDecimalSeparator = '.';

// The digits that may stay in a field of this notation: "01", "01234567", "0123456789" or
// "0123456789ABCDEF".
std::string_view allowedChars(TViewStyle style);

// The next notation after `current` in the order BIN, OCT, DEC, HEX, BIN that `allowed` holds,
// looking at most at the next three; `current` when none of them is allowed.
TViewStyle nextViewStyle(TViewStyle current, TViewStyles allowed);

struct ParsedValue {
    double value = 0;
    // Decimal only: the text did not convert and was shortened from its end until it did (or became
    // "0"); the field should be rewritten with `value`.
    bool shortened = false;
    // Binary, octal, hexadecimal only: some characters were not digits of the notation and were
    // skipped.
    bool invalid = false;
};

// Reads a field's text. Empty text reads 0.
// Binary, octal, hexadecimal: the digits are taken left to right and every other character skipped
// (only upper-case letters are hexadecimal digits); a leading "-" negates (the program writes
// negative values that way; the typing filter never lets one in).
// Decimal: an optional leading "-", digits and at most one `separator`; the digits form a 32-bit
// integer that is divided by 10 once per digit after the separator ("12.5" reads 12.5). A text that
// does not convert (a lone "-", beyond the 32-bit range, a stray character) loses its last character
// until it does; one that becomes empty reads 0.
ParsedValue parseValueText(std::string_view text, TViewStyle style,
                           char separator = kDefaultDecimalSeparator);

// `value` rounded to the decimal position of `precision` (the rounded base-10 logarithm: 1 rounds to
// integers, 0.01 to two decimals, 10 to tens), halves to even. `precision` <= 0 or a value that is
// not finite: returned unchanged (0 for a value that is not finite).
double roundToPrecision(double value, double precision);

// The text a field shows for `value`: rounded as above; binary, octal and hexadecimal as the digits
// of the value rounded to an integer, without prefix or leading zeros ("0" for zero, a "-" before
// negative values); decimal in fixed-point notation with as many decimals as the negative of the
// precision's logarithm when that is negative, else none. Empty when `precision` <= 0 (the field is
// then never written).
std::optional<std::string> formatValueText(double value, TViewStyle style, double precision,
                                           char separator = kDefaultDecimalSeparator);

// Limits are active only when minimum < maximum; then `value` is brought inside them.
double clampValue(double value, double minimum, double maximum);

// The step of the spin buttons and the arrow keys: 1 when the notation is not decimal and the
// precision is below 1 (a fraction cannot be shown there), else the precision.
double stepSize(TViewStyle style, double precision);

// `value` rounded to the nearest integer, halves to even, saturated to the 32-bit range; 0 when not
// finite.
std::int32_t roundHalfEven(double value);

struct FilteredText {
    std::u16string text;
    int caret = 0;
    // Index of the decimal separator in `text`, -1 when it has none.
    int separatorPos = -1;
};

// Cleans typed text (already upper case): every character that is not in the notation's allowed
// characters is deleted, except, in decimal notation, a "-" as the first character and, when
// `precision` < 1, one "," or "." which becomes `separator`. That one is the one at
// `rememberedSeparator` (the separator the text had before the edit, moved along with the edit) when
// there is one, else the last one. The caret moves left by one for each deleted character before it.
FilteredText filterValueText(std::u16string_view text, int caret, TViewStyle style, double precision,
                             char separator = kDefaultDecimalSeparator, int rememberedSeparator = -1);

} // namespace app
