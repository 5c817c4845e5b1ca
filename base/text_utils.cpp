#include "base/text_utils.h"

#include "base/codepage.h"

namespace base {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
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

} // namespace base
