#pragma once
// Small text helpers shared by the tokenizer, the expression evaluator, the command templates and the
// protocol editor.
//
// All texts are UTF-8. Positions and widths count characters (code points), not bytes. A byte that
// does not start a valid UTF-8 sequence counts as one character of its own and is kept unchanged, so
// no helper ever loses or reorders input bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace base {

// Removes spaces and tab characters from both ends.
std::string TrimBlanks(std::string_view text);
// The same, as a view into `text`.
std::string_view TrimmedBlanks(std::string_view text);

// Value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

// The upper-case hexadecimal digits, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Upper case of one character: Latin a-z become A-Z, Cyrillic а-я become А-Я and ё becomes Ё;
// every other character is returned unchanged.
char32_t UpperCaseChar(char32_t ch);

// UpperCaseChar applied to every character of a UTF-8 text. Invalid bytes are copied unchanged.
std::string UpperCaseText(std::string_view text);

// Upper case, then every space, carriage return and line feed removed (the stored form of a
// template).
std::string NormalizeTemplateText(std::string_view text);

// Inserts a carriage return and line feed after every ";" (one template field per line).
std::string BreakAfterSemicolons(std::string_view text);

// True when the text is non-empty, starts with a Latin letter and goes on with Latin letters, digits
// and "_" only.
bool IsIdentifier(std::string_view text);

// True when some entry equals the text exactly (letter case matters).
bool IsInList(const std::vector<std::string>& list, std::string_view text);

} // namespace base
