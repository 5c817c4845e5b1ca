#include "protocol/text_utils.h"

#include "protocol/codepage.h"

namespace protocol {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Byte length of the character at `pos`: a valid UTF-8 sequence, or one byte when the bytes there
// do not form one.
size_t charLength(std::string_view text, size_t pos) {
    size_t next = pos;
    if (nextUtf8(text, next))
        return next - pos;
    return 1;
}

// Byte offset of character number `index` (from 0), or the text length when there are fewer.
size_t byteOffsetOfChar(std::string_view text, size_t index) {
    size_t pos = 0;
    for (size_t i = 0; i < index && pos < text.size(); ++i)
        pos += charLength(text, pos);
    return pos;
}

} // namespace

std::string_view TrimmedBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string TrimBlanks(std::string_view text) {
    return std::string(TrimmedBlanks(text));
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char32_t UpperCaseChar(char32_t ch) {
    if (ch >= U'a' && ch <= U'z')
        return ch - U'a' + U'A';
    if (ch >= U'\u0430' && ch <= U'\u044F') // а..я
        return ch - 0x20;
    if (ch == U'\u0451') // ё
        return U'\u0401';
    return ch;
}

std::string UpperCaseText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const unsigned char b = static_cast<unsigned char>(text[pos]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'a' && b <= 'z' ? b - 'a' + 'A' : b);
            ++pos;
            continue;
        }
        size_t next = pos;
        if (auto cp = nextUtf8(text, next)) {
            appendUtf8(out, UpperCaseChar(*cp));
            pos = next;
        } else {
            out += static_cast<char>(b);
            ++pos;
        }
    }
    return out;
}

std::string NormalizeTemplateText(std::string_view text) {
    std::string out;
    for (char c : UpperCaseText(text))
        if (c != ' ' && c != '\r' && c != '\n')
            out += c;
    return out;
}

std::string BreakAfterSemicolons(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        out += c;
        if (c == ';')
            out += "\r\n";
    }
    return out;
}

bool IsIdentifier(std::string_view text) {
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (text.empty() || !letter(text[0]))
        return false;
    for (char c : text.substr(1))
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '_')
            return false;
    return true;
}

bool IsInList(const std::vector<std::string>& list, std::string_view text) {
    for (const auto& entry : list)
        if (entry == text)
            return true;
    return false;
}

std::string CopyRange(std::string_view text, int64_t from, int64_t to) {
    if (from < 1)
        from = 1;
    if (to < from)
        return {};
    const size_t begin = byteOffsetOfChar(text, static_cast<size_t>(from - 1));
    const size_t end = byteOffsetOfChar(text, static_cast<size_t>(to));
    return std::string(text.substr(begin, end - begin));
}

std::string StripFirstAndLast(std::string_view text) {
    const size_t count = CharCount(text);
    if (count < 2)
        return {};
    return CopyRange(text, 2, static_cast<int64_t>(count) - 1);
}

std::string PadOrCut(std::string_view text, int64_t width) {
    if (width <= 0)
        return {};
    const size_t count = CharCount(text);
    const auto w = static_cast<size_t>(width);
    if (count >= w)
        return std::string(text.substr(0, byteOffsetOfChar(text, w)));
    std::string out(text);
    out.append(w - count, ' ');
    return out;
}

std::string IntToText(int64_t value) {
    return std::to_string(value);
}

size_t CharCount(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); pos += charLength(text, pos))
        ++count;
    return count;
}

} // namespace protocol
