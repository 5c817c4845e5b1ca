#pragma once
// TStringParser cuts one line of text into tokens. What forms a token is configured:
// - CharGroups: each entry is a group of characters; a run of characters of the same group is one
//   token. Membership is tested on the upper-case form of the text (UpperCaseChar), so groups list
//   letters in upper case and lower-case input joins them too.
// - FixedCombinations: character sequences that always form a token of their own (compared without
//   regard to letter case). They are tested first at every position, also inside quotes and brackets.
// - SingleLevelBrackets: quote characters; text from one quote character to the next is one token.
// - MultiLevelBracketsOp / MultiLevelBracketsCL: nestable brackets (the k-th closing character
//   closes the k-th opening one), tracked only while MultiLevelBrackets is true.
// Any other character that is not a space, a tab or a zero byte is a one-character token; blanks
// separate tokens and are dropped. Quote and bracket characters are compared as written.
//
// Texts are UTF-8; the parser works on characters. A byte that does not start a valid UTF-8
// sequence is a character of its own that belongs to no group. Tokens are cut from the given text
// itself, so they keep its letter case and bytes.
//
// The parser keeps no position between calls: GetToken scans from the beginning every time.

#include <string>
#include <string_view>
#include <vector>

namespace protocol {

class TStringParser {
  public:
    // BracketError values of the last GetToken call (informative only).
    enum : int { kBracketOk = 0, kBracketCloseWithoutOpen = 1, kBracketMismatch = 2 };

    // The N-th token (N from 1) of the text, or the empty string when the text has fewer than N
    // tokens (also for N < 1). Leading and trailing spaces and tabs never form tokens. A quote or
    // bracket group left open at the end of the text is returned as the last token. Sets
    // BracketError.
    std::string GetToken(std::string_view text, int n);

    // Every token of the text in order: the same tokens GetToken returns for N = 1, 2, ... up to the
    // first empty one, in one scan. Sets BracketError.
    std::vector<std::string> Tokenize(std::string_view text);

    // Copies the six configuration properties of another parser.
    void Assign(const TStringParser& other);

    const std::vector<std::string>& CharGroups() const { return m_charGroups; }
    void setCharGroups(std::vector<std::string> groups);
    const std::vector<std::string>& FixedCombinations() const { return m_fixedCombinations; }
    void setFixedCombinations(std::vector<std::string> combinations);
    const std::string& SingleLevelBrackets() const { return m_singleLevelBrackets; }
    void setSingleLevelBrackets(std::string quotes);
    const std::string& MultiLevelBracketsOp() const { return m_multiLevelBracketsOp; }
    void setMultiLevelBracketsOp(std::string opening);
    const std::string& MultiLevelBracketsCL() const { return m_multiLevelBracketsCL; }
    void setMultiLevelBracketsCL(std::string closing);
    bool MultiLevelBrackets() const { return m_multiLevelBrackets; }
    void setMultiLevelBrackets(bool on) { m_multiLevelBrackets = on; }

    // 0 no error, 1 a closing bracket came while none was open, 2 a closing bracket did not belong
    // to the innermost open bracket. A bracket character in error stays part of its token.
    int BracketError() const { return m_bracketError; }

  private:
    // Scans until `limit` tokens have been emitted and appends them to `out`; when the text ends
    // first, the token still open at the end (if any) is appended too.
    void scan(std::string_view text, size_t limit, std::vector<std::string>& out);
    void decodeConfig();

    std::vector<std::string> m_charGroups;
    std::vector<std::string> m_fixedCombinations;
    std::string m_singleLevelBrackets;
    std::string m_multiLevelBracketsOp;
    std::string m_multiLevelBracketsCL;
    bool m_multiLevelBrackets = false;
    int m_bracketError = kBracketOk;

    // The configuration as characters, kept in step with the properties.
    std::vector<std::u32string> m_groupChars;
    std::vector<std::u32string> m_fixedChars; // upper case
    std::u32string m_quoteChars;
    std::u32string m_openChars;
    std::u32string m_closeChars;
};

} // namespace protocol
