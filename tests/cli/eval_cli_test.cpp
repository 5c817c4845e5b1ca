#include "support/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CliCase {
    std::vector<std::string> args;
    int exitCode;
    const char* out;
    const char* err; // substring of stderr
};

TEST(EvalCli, ValuesErrorsAndUsage) {
    const CliCase cases[] = {
        {{"eval", "1+2*3"}, 0, "7\n", ""},
        {{"eval", "--", "-5+3"}, 0, "-2\n", ""},
        {{"eval", "1/3"}, 0, "0.333333333333333\n", ""},
        {{"eval", "0*-1"}, 0, "0\n", ""},
        {{"eval", "HIGH(ADDR+1)", "ADDR=0x12345"}, 0, "291\n", ""},
        {{"eval", "BYTE3(a)", "A=0x12345678"}, 0, "18\n", ""},
        {{"eval", "x*y", "X=1.5", "y=$10"}, 0, "24\n", ""},
        {{"eval", "LOW(V)", "V=-1"}, 0, "-1\n", ""},
        {{"eval", "A+1"}, 1, "", "error 1: Undefined variable used\n"},
        {{"eval", "A+"}, 1, "", "error 9: Undefined variable used; Syntax error\n"},
        {{"eval", "LN(0)"}, 1, "", "error 128: Divide by zero\n"},
        {{"eval", ""}, 1, "", "error 512: Nothing to count\n"},
        {{"eval", "A", "A"}, 2, "", "NAME=VALUE"},
        {{"eval", "A", "1A=2"}, 2, "", "NAME=VALUE"},
        {{"eval", "A", "A=abc"}, 2, "", "not a number"},
        {{"eval", "A", "A=0x"}, 2, "", "not a number"},
        {{"eval", "A\xFF"}, 2, "", "UTF-8"},
        {{"eval", "\xE4\xB8\xAD"}, 2, "", "code page 1251"},
        {{"eval"}, 2, "", "EXPR"},
    };
    for (const auto& c : cases) {
        const auto r = testsupport::runCli(c.args);
        const std::string what = c.args.size() > 1 ? c.args[1] : c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << what << "\n" << r.err;
        EXPECT_EQ(r.out, c.out) << what;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << what << "\n" << r.err;
    }
}

} // namespace
