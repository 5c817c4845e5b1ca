#include "protocol/string_parser.h"

#include "base/codepage.h"
#include "base/text_utils.h"

#include <limits>

namespace protocol {

namespace {

struct Char {
    char32_t ch; // as written
    char32_t up; // upper case, for group and combination tests
    size_t offset;
};

// Stands for a byte that starts no valid UTF-8 sequence: beyond every code point, so it matches no
// configured character, yet stays distinct per byte value.
constexpr char32_t kInvalidByteBase = 0x110000;

std::vector<Char> decode(std::string_view text) {
    std::vector<Char> chars;
    chars.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        char32_t cp;
        if (auto decoded = base::nextUtf8(text, pos)) {
            cp = *decoded;
        } else {
            cp = kInvalidByteBase + static_cast<unsigned char>(text[pos]);
            ++pos;
        }
        chars.push_back({cp, base::UpperCaseChar(cp), start});
    }
    return chars;
}

std::u32string toChars(std::string_view text, bool upper) {
    std::u32string out;
    for (const Char& c : decode(text))
        out += upper ? c.up : c.ch;
    return out;
}

bool isBlank(char32_t ch) {
    return ch == U' ' || ch == U'\t' || ch == 0;
}

} // namespace

void TStringParser::setCharGroups(std::vector<std::string> groups) {
    m_charGroups = std::move(groups);
    decodeConfig();
}

void TStringParser::setFixedCombinations(std::vector<std::string> combinations) {
    m_fixedCombinations = std::move(combinations);
    decodeConfig();
}

void TStringParser::setSingleLevelBrackets(std::string quotes) {
    m_singleLevelBrackets = std::move(quotes);
    decodeConfig();
}

void TStringParser::setMultiLevelBracketsOp(std::string opening) {
    m_multiLevelBracketsOp = std::move(opening);
    decodeConfig();
}

void TStringParser::setMultiLevelBracketsCL(std::string closing) {
    m_multiLevelBracketsCL = std::move(closing);
    decodeConfig();
}

void TStringParser::Assign(const TStringParser& other) {
    m_charGroups = other.m_charGroups;
    m_fixedCombinations = other.m_fixedCombinations;
    m_singleLevelBrackets = other.m_singleLevelBrackets;
    m_multiLevelBracketsOp = other.m_multiLevelBracketsOp;
    m_multiLevelBracketsCL = other.m_multiLevelBracketsCL;
    m_multiLevelBrackets = other.m_multiLevelBrackets;
    decodeConfig();
}

void TStringParser::decodeConfig() {
    m_groupChars.clear();
    for (const auto& g : m_charGroups)
        m_groupChars.push_back(toChars(g, false));
    m_fixedChars.clear();
    for (const auto& f : m_fixedCombinations)
        m_fixedChars.push_back(toChars(f, true));
    m_quoteChars = toChars(m_singleLevelBrackets, false);
    m_openChars = toChars(m_multiLevelBracketsOp, false);
    m_closeChars = toChars(m_multiLevelBracketsCL, false);
}

std::string TStringParser::GetToken(std::string_view text, int n) {
    if (n < 1) {
        m_bracketError = kBracketOk;
        return {};
    }
    std::vector<std::string> tokens;
    scan(text, static_cast<size_t>(n), tokens);
    return tokens.size() >= static_cast<size_t>(n) ? tokens[static_cast<size_t>(n) - 1] : std::string();
}

std::vector<std::string> TStringParser::Tokenize(std::string_view text) {
    std::vector<std::string> tokens;
    scan(text, std::numeric_limits<size_t>::max(), tokens);
    return tokens;
}

void TStringParser::scan(std::string_view text, size_t limit, std::vector<std::string>& out) {
    m_bracketError = kBracketOk;
    const std::string trimmed = base::TrimBlanks(text);
    const std::vector<Char> chars = decode(trimmed);
    const size_t count = chars.size();
    auto offsetOf = [&](size_t index) { return index < count ? chars[index].offset : trimmed.size(); };

    size_t emitted = 0;
    auto emit = [&](size_t from, size_t to) { // characters [from, to)
        out.push_back(trimmed.substr(offsetOf(from), offsetOf(to) - offsetOf(from)));
        ++emitted;
    };
    constexpr size_t kNone = std::numeric_limits<size_t>::max();

    size_t p = 0;
    size_t start = 0;
    size_t group = kNone;
    bool inQuotes = false;
    std::vector<size_t> brackets;

    while (p < count && emitted < limit) {
        // A fixed combination splits the text wherever it occurs; the last matching entry wins.
        size_t fixed = kNone;
        for (size_t f = 0; f < m_fixedChars.size(); ++f) {
            const std::u32string& comb = m_fixedChars[f];
            if (comb.empty() || comb.size() > count - p)
                continue;
            bool match = true;
            for (size_t j = 0; j < comb.size() && match; ++j)
                match = chars[p + j].up == comb[j];
            if (match)
                fixed = f;
        }
        if (fixed != kNone) {
            if (group != kNone)
                emit(start, p);
            const size_t length = m_fixedChars[fixed].size();
            if (emitted < limit)
                emit(p, p + length);
            start = p + length;
            p += length;
            group = kNone;
            continue;
        }

        const char32_t ch = chars[p].ch;
        size_t charGroup = kNone;
        for (size_t k = 0; k < m_groupChars.size(); ++k)
            if (m_groupChars[k].find(chars[p].up) != std::u32string::npos)
                charGroup = k;

        const size_t openIndex = m_openChars.find(ch);
        const size_t closeIndex = m_closeChars.find(ch);
        if (m_multiLevelBrackets && !inQuotes && openIndex != std::u32string::npos) {
            brackets.push_back(openIndex);
        } else if (m_multiLevelBrackets && !inQuotes && closeIndex != std::u32string::npos) {
            if (brackets.empty()) {
                m_bracketError = kBracketCloseWithoutOpen;
            } else if (brackets.back() == closeIndex) {
                brackets.pop_back();
                if (brackets.empty()) {
                    emit(start, p + 1);
                    start = p + 1;
                    group = kNone;
                }
            } else {
                m_bracketError = kBracketMismatch;
            }
        } else if (m_quoteChars.find(ch) != std::u32string::npos) {
            if (brackets.empty()) {
                if (inQuotes) {
                    emit(start, p + 1);
                    start = p + 1;
                } else {
                    if (group != kNone)
                        emit(start, p);
                    start = p;
                }
                group = kNone;
            }
            inQuotes = !inQuotes;
        } else if (!inQuotes && brackets.empty()) {
            if (charGroup == kNone) {
                if (group != kNone)
                    emit(start, p);
                if (!isBlank(ch) && emitted < limit)
                    emit(p, p + 1);
                group = kNone;
                start = p + 1;
            } else if (charGroup != group) {
                if (group != kNone) {
                    emit(start, p);
                    start = p;
                }
                group = charGroup;
            }
        }
        ++p;
    }
    if (emitted < limit && start < p)
        out.push_back(trimmed.substr(offsetOf(start)));
}

} // namespace protocol
