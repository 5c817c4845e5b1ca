#include "protocol/evaluator_setup.h"
#include "protocol/string_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using protocol::TStringParser;
using Tokens = std::vector<std::string>;

// Every token GetToken gives for N = 1, 2, ... until the first empty one.
Tokens tokensOneByOne(TStringParser& parser, const std::string& text) {
    Tokens out;
    for (int n = 1;; ++n) {
        std::string t = parser.GetToken(text, n);
        if (t.empty())
            return out;
        out.push_back(t);
    }
}

struct TokenCase {
    const char* text;
    Tokens tokens;
};

TEST(StringParser, EvaluatorConfiguration) {
    const TokenCase cases[] = {
        {"", {}},
        {" \t  ", {}},
        {"ADDR+0X10", {"ADDR", "+", "0X10"}},
        {"A>=-1", {"A", ">=", "-", "1"}},
        {"1<<(2)", {"1", "<<", "(", "2", ")"}},
        {"1.5*$FF", {"1.5", "*", "$FF"}},
        {"  A\t+ B  ", {"A", "+", "B"}},    // blanks separate and are dropped
        {"addr_1+x", {"addr_1", "+", "x"}}, // lower case joins the group and is kept
        {"A<>B!=C**D", {"A", "<>", "B", "!=", "C", "**", "D"}},
        {"A<<<B", {"A", "<<", "<", "B"}}, // combinations are taken first, left to right
        {"HIGH(LOW(X))", {"HIGH", "(", "LOW", "(", "X", ")", ")"}},
        {"A\x01"
         "B",
         {"A", "\x01", "B"}}, // an unknown character is a token of its own
        {"\xD0\xB0\xD0\xB1+1", {"\xD0\xB0", "\xD0\xB1", "+", "1"}}, // Cyrillic letters are no group
        {"A\xFF"
         "B",
         {"A", "\xFF", "B"}},                 // an invalid UTF-8 byte stays one token, not lost
        {"A\xE2\x82", {"A", "\xE2", "\x82"}}, // a cut UTF-8 sequence: byte by byte
    };
    TStringParser parser = protocol::makeEvaluatorParser();
    for (const auto& c : cases) {
        EXPECT_EQ(tokensOneByOne(parser, c.text), c.tokens) << c.text;
        EXPECT_EQ(parser.Tokenize(c.text), c.tokens) << c.text;
    }
}

TEST(StringParser, TokenNumbersOutsideTheTextGiveEmpty) {
    TStringParser parser = protocol::makeEvaluatorParser();
    EXPECT_EQ(parser.GetToken("A+B", 0), "");
    EXPECT_EQ(parser.GetToken("A+B", -3), "");
    EXPECT_EQ(parser.GetToken("A+B", 3), "B");
    EXPECT_EQ(parser.GetToken("A+B", 4), "");
    EXPECT_EQ(parser.GetToken("A+B", 1000), "");
}

struct ConfiguredCase {
    const char* name;
    std::vector<std::string> groups;
    std::vector<std::string> fixed;
    std::string quotes;
    bool brackets;
    const char* text;
    Tokens tokens;
    int bracketError;
};

TEST(StringParser, OtherConfigurations) {
    const std::vector<std::string> letters = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ"};
    const std::vector<std::string> lettersDigits = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789"};
    const ConfiguredCase cases[] = {
        {"two groups side by side", lettersDigits, {}, "", false, "AB12", {"AB", "12"}, 0},
        {"same group last entry wins", {"AB", "B"}, {}, "", false, "AAB", {"AA", "B"}, 0},
        {"brackets keep a call together", letters, {}, "", true, "F(A,B)+1", {"F(A,B)", "+", "1"}, 0},
        {"stray closing bracket", letters, {}, "", true, "A)B", {"A)B"}, 1},
        {"mismatched bracket", letters, {}, "", true, "F(A]+B)", {"F(A]+B)"}, 2},
        {"nested brackets", letters, {}, "", true, "F(G(A))-B", {"F(G(A))", "-", "B"}, 0},
        {"open bracket at the end", letters, {}, "", true, "A+F(B", {"A", "+", "F(B"}, 0},
        {"quoted text", letters, {}, "\"", false, "A\"B C\"D", {"A", "\"B C\"", "D"}, 0},
        {"unclosed quote", letters, {}, "\"", false, "A\"B C", {"A", "\"B C"}, 0},
        {"quotes protect brackets", letters, {}, "\"", true, "F(\")\")+A", {"F(\")\")", "+", "A"}, 0},
        {"combination ignores case", letters, {"AND"}, "", false, "xandy", {"x", "and", "y"}, 0},
        {"combination inside brackets splits", letters, {"::"}, "", true, "F(A::B)", {"F(A", "::", "B)"}, 0},
        {"brackets off", letters, {}, "", false, "F(A)", {"F", "(", "A", ")"}, 0},
    };
    for (const auto& c : cases) {
        TStringParser parser;
        parser.setCharGroups(c.groups);
        parser.setFixedCombinations(c.fixed);
        parser.setSingleLevelBrackets(c.quotes);
        parser.setMultiLevelBracketsOp("([");
        parser.setMultiLevelBracketsCL(")]");
        parser.setMultiLevelBrackets(c.brackets);
        EXPECT_EQ(tokensOneByOne(parser, c.text), c.tokens) << c.name;
        EXPECT_EQ(parser.Tokenize(c.text), c.tokens) << c.name;
        EXPECT_EQ(parser.BracketError(), c.bracketError) << c.name;
    }
}

TEST(StringParser, AssignCopiesTheConfiguration) {
    TStringParser source;
    source.setCharGroups({"ABC"});
    source.setFixedCombinations({"=="});
    source.setSingleLevelBrackets("'");
    source.setMultiLevelBracketsOp("(");
    source.setMultiLevelBracketsCL(")");
    source.setMultiLevelBrackets(true);
    TStringParser copy;
    copy.Assign(source);
    EXPECT_EQ(copy.CharGroups(), source.CharGroups());
    EXPECT_EQ(copy.FixedCombinations(), source.FixedCombinations());
    EXPECT_EQ(copy.SingleLevelBrackets(), "'");
    EXPECT_EQ(copy.MultiLevelBracketsOp(), "(");
    EXPECT_EQ(copy.MultiLevelBracketsCL(), ")");
    EXPECT_TRUE(copy.MultiLevelBrackets());
    EXPECT_EQ(copy.Tokenize("AB==C(A B)'x y'"), (Tokens{"AB", "==", "C(A B)", "'x y'"}));
}

} // namespace
