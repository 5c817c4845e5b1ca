#pragma once
// Conversion between the program's UTF-8 text and code page 1251, the 8-bit encoding of every string
// that meets a file or a device (protocol descriptions, version records, envelope headers,
// identification records, the dump's text column).
//
// The mapping is lossless: each of the 256 bytes has exactly one character. The byte 0x98, which
// code page 1251 leaves unassigned, maps to U+0098.

#include <optional>
#include <string>
#include <string_view>

namespace base {

// Code page 1251 bytes to UTF-8. Never fails.
std::string cp1251ToUtf8(std::string_view bytes);

// UTF-8 to code page 1251. Empty when the text is not valid UTF-8 or holds a character that
// code page 1251 cannot represent.
std::optional<std::string> utf8ToCp1251(std::string_view text);

// True when `text` is valid UTF-8.
bool isValidUtf8(std::string_view text);

// The character of one code page 1251 byte as a Unicode code point.
char32_t cp1251ToCodePoint(unsigned char byte);

// The code page 1251 byte of a code point, or empty when there is none.
std::optional<unsigned char> codePointToCp1251(char32_t cp);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t cp);

// Decodes the UTF-8 character at `pos` and advances `pos`. Empty (pos unchanged) on a malformed
// sequence, an overlong form, a surrogate or a value above U+10FFFF.
std::optional<char32_t> nextUtf8(std::string_view text, size_t& pos);

} // namespace base
