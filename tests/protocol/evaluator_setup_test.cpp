#include "protocol/evaluator_setup.h"
#include "protocol/number_conversion.h"

#include "evaluation_cases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using namespace protocol;

TEST(EvaluatorSetup, NumberLiterals) {
    const struct {
        const char* text;
        bool ok;
        long double value;
    } cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"1.5", true, 1.5L},
        {"-2.5E2", true, -250},
        {"+7", true, 7},
        {"1E-4", true, 0.0001L},
        {"1E-5000", true, 0}, // underflow is zero, not a failure
        {"0x1234", true, 4660},
        {"0X1234", true, 4660},
        {"0x12345", true, 0x2345}, // hexadecimal literals keep 16 bits
        {"0x10000", true, 0},
        {"$FF", true, 255},
        {"$ff", true, 255},
        {"XA", true, 10},
        {"x1F", true, 31},
        {"-$1", true, 0xFFFF},
        {"  $10", true, 16},
        {"0x1P3", false, 0}, // no hexadecimal floats
        {"0x", false, 0},
        {"$", false, 0},
        {"X", false, 0},
        {"XG", false, 0},
        {"INF", false, 0},
        {"NAN", false, 0},
        {"INFINITY", false, 0},
        {"1E99999", false, 0}, // not representable
        {"1E", false, 0},
        {"1.2.3", false, 0},
        {"E5", false, 0},
        {".", false, 0},
        {"", false, 0},
        {"ADDR", false, 0},
        {"12AB", false, 0},
    };
    TFunctionEvaluator ev;
    for (const auto& c : cases) {
        long double v = -1;
        bool ok = false;
        FunctionEvaluator1ConvertVal(ev, c.text, v, ok);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (c.ok && ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(EvaluatorSetup, Functions) {
    TFunctionEvaluator ev = makeMainEvaluator();
    declareProtocolVariables(ev);
    ev.SetVariable("ADDRESS", 0x12345678);
    ev.SetVariable("SIZE", 0x12345);
    const std::vector<EvalCase> cases = {
        {"HIGH(0x1234)", 0x12, 0},
        {"LOW(0x1234)", 0x34, 0},
        {"HIGH(70000)", 273, 0},
        {"HIGH(SIZE)", 0x123, 0}, // not limited to 8 bits
        {"HIGH(-300)", -1, 0},    // toward zero
        {"LOW(-1)", -1, 0},
        {"BYTE0(0x1234)", 0x34, 0},
        {"BYTE1(0x1234)", 0x12, 0},
        {"BYTE1(-1)", 255, 0},
        {"BYTE2(ADDRESS)", 0x34, 0},
        {"BYTE3(ADDRESS)", 0x12, 0},
        {"BYTE3(0x12345678)", 0, 0}, // the literal keeps 16 bits
        {"LOW(2.5)", 2, 0},          // halves to even
        {"LOW(3.5)", 4, 0},
        {"IF(1,5,7)", 5, 0},
        {"IF(0,5,7)", 7, 0},
        {"IF(0.5,4,8)", 6, 0},
        {"IF(3,2)", 6, 0},
        {"IF(SIZE>1,10,20)", 10, 0},
        {"SIN(0)", 0, 0},
        {"COS(0)", 1, 0},
        {"EXP(0)", 1, 0},
        {"LN(1)", 0, 0},
        {"SQRT(16)", 4, 0},
        {"SQRT(0)", 0, 0},
        {"TRUNC(2.7)", 2, 0},
        {"TRUNC(-2.7)", -2, 0},
        {"ROUND(2.5)", 2, 0},
        {"ROUND(3.5)", 4, 0},
        {"ROUND(-2.5)", -2, 0},
        {"ROUND(2.6)", 3, 0},
        {"HIGH(LOW(0x1234)+0x100)", 1, 0},
        {"SQRT(-1)", 0, kErrDivideByZero},
        {"LN(0)", 0, kErrDivideByZero},
        {"LN(-1)", 0, kErrDivideByZero},
        {"EXP(100000)", 0, kErrDivideByZero}, // not finite
        {"HIGH(1E30)", 0, kErrDivideByZero},  // beyond 64 bits
        {"LOW(1E30)", 0, kErrDivideByZero},
        {"HIGH(1,2)", 0, kErrTooManyArguments},
        {"IF(1)", 0, kErrArgumentsLost},
        {"IF(1,2,3,4)", 0, kErrTooManyArguments},
        {"HIGH()", 0, kErrSyntax | kErrBracketNotClosed},
        {"high(0x1234)", 0x12, 0},
    };
    expectCases(ev, cases);
    // A name outside the table reports nothing and leaves the result at 0.
    TEquationPol args(1);
    long double result = 5;
    uint16_t error = 7;
    FunctionEvaluator1Function(ev, "NOPE", args, result, error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(result, 5);
}

TEST(EvaluatorSetup, ProtocolVariablesAreDeclared) {
    TFunctionEvaluator ev = makeMainEvaluator();
    ev.SetVariable("ADDRESS", 77);
    ev.setEquation("PAGE+ADDRESS+RECIPIENT+SIZE+PAGESIZE+APP_START+APP_END+APP_SIZE+APP_BSIZE+APP_CRC+"
                   "PACK_CRC+APP_HWID+APP_SWID+APP_CMPT_SIZE+APP_AREA+SYS_AREA+ERRORCODE+ADDR");
    EXPECT_EQ(ev.ErrorCode(), kErrUndefinedVariable);
    declareProtocolVariables(ev);
    EXPECT_EQ(ev.ErrorCode(), 0);
    EXPECT_EQ(ev.Variables().size(), kProtocolVariableNames.size());
    EXPECT_EQ(ev.Evaluate(), 77); // existing values are kept, new ones are 0
    ev.setEquation("PAGES");
    EXPECT_EQ(ev.ErrorCode(), kErrUndefinedVariable);
}

TEST(EvaluatorSetup, IntegerConversions) {
    const long double twoPow63 = 9223372036854775808.0L;
    const struct {
        long double value;
        bool truncOk;
        int64_t trunc;
        bool roundOk;
        int64_t round;
    } cases[] = {
        {2.5L, true, 2, true, 2},
        {3.5L, true, 3, true, 4},
        {-2.5L, true, -2, true, -2},
        {-3.5L, true, -3, true, -4},
        {-0.5L, true, 0, true, 0},
        {0.49999L, true, 0, true, 0},
        {-twoPow63, true, std::numeric_limits<int64_t>::min(), true, std::numeric_limits<int64_t>::min()},
        {twoPow63, false, 0, false, 0},
        {twoPow63 - 1, true, std::numeric_limits<int64_t>::max(), true, std::numeric_limits<int64_t>::max()},
        {twoPow63 - 0.5L, true, std::numeric_limits<int64_t>::max(), false, 0}, // rounds to 2^63
        {std::numeric_limits<long double>::infinity(), false, 0, false, 0},
        {-std::numeric_limits<long double>::infinity(), false, 0, false, 0},
        {std::numeric_limits<long double>::quiet_NaN(), false, 0, false, 0},
    };
    for (const auto& c : cases) {
        int64_t t = 99, r = 99;
        EXPECT_EQ(truncToInt64(c.value, t), c.truncOk) << static_cast<double>(c.value);
        EXPECT_EQ(roundToInt64(c.value, r), c.roundOk) << static_cast<double>(c.value);
        EXPECT_EQ(t, c.truncOk ? c.trunc : 99) << static_cast<double>(c.value);
        EXPECT_EQ(r, c.roundOk ? c.round : 99) << static_cast<double>(c.value);
    }
}

} // namespace
