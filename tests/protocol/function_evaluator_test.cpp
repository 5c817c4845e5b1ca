#include "protocol/evaluator_setup.h"
#include "protocol/function_evaluator.h"

#include "evaluation_cases.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace protocol;

TEST(FunctionEvaluator, PrioritiesSignsAndOperators) {
    TFunctionEvaluator ev = makeMainEvaluator();
    ev.SetVariable("A", 6);
    ev.SetVariable("B", 4);
    expectCases(ev, {
                        {"-5+3", -2, 0},
                        {"2*-3", -6, 0},
                        {"5-(-3)", 8, 0},
                        {"--5", 5, 0},
                        {"+-5", -5, 0},
                        {"-+5", -5, 0},
                        {"---5", -5, 0},
                        {"2-3-4", -5, 0}, // left to right
                        {"2+3*4", 14, 0},
                        {"(2+3)*4", 20, 0},
                        {"-(2+3)*4", -20, 0},
                        {"1+2<<3", 17, 0}, // shifts bind like "*"
                        {"1<2+3", 1, 0},   // comparisons bind loosest
                        {"A/B", 1.5L, 0},
                        {"a*b", 24, 0}, // names in any letter case
                        {"A=6", 1, 0},
                        {"A<>6", 0, 0},
                        {"A!=5", 1, 0},
                        {"A>=6", 1, 0},
                        {"A<=5", 0, 0},
                        {"A>B", 1, 0},
                        {"A<B", 0, 0},
                        {"7%3", 1, 0},
                        {"-7%3", -1, 0}, // the sign of the left operand
                        {"7%-1", 0, 0},
                        {"7.9%2.9", 1, 0}, // operands truncated
                        {"1<<4", 16, 0},
                        {"256>>4", 16, 0},
                        {"-1>>60", 15, 0}, // no sign extension
                        {"1<<63", -9223372036854775807.0L - 1, 0},
                        {"1<<64", 0, 0},
                        {"1<<100", 0, 0},
                        {"1<<-1", 0, 0},
                        {"1<<-100", 0, 0},
                        {"~255", 0, 0},
                        {"~256", 65279, 0},
                        {"~0", 255, 0},
                        {"~65536", 4294901759.0L, 0},
                        {"~1.00001", 254, 0}, // whole to four decimals
                        {"!7", 1, 0},         // "!" tells whether the value is nonzero
                        {"!0", 0, 0},
                        {"~(1+1)", 253, 0},
                        {"~5+1", 251, 0},
                        {" 1 + 2 ", 3, 0},
                        {"1.5", 1.5L, 0},
                        {"\t3\t", 3, 0},
                    });
}

TEST(FunctionEvaluator, ErrorBits) {
    TFunctionEvaluator ev = makeMainEvaluator();
    expectCases(ev, {
                        {"1/0", 0, kErrDivideByZero},
                        {"5%0.5", 0, kErrDivideByZero},
                        {"~1.5", 0, kErrUndefinedVariable},
                        {"!1.5", 0, kErrUndefinedVariable},
                        {"A+", 0, kErrSyntax | kErrUndefinedVariable},
                        {"1+", 0, kErrSyntax},
                        {"-", 0, kErrSyntax},
                        {"(1+2", 0, kErrBracketNotClosed},
                        {"1+2)", 0, kErrInvalidBracketClose},
                        {"(1)(2)", 0, kErrMissingOperator},
                        {"", 0, kErrNothingToCount},
                        {"   ", 0, kErrNothingToCount},
                        {"UNKNOWN", 0, kErrUndefinedVariable},
                        {"UNKNOWN+1", 0, kErrUndefinedVariable}, // no spurious "Missing operator"
                        {"**", 0, kErrInvalidVariableName},
                        {"2**3", 0, kErrInvalidVariableName},
                        {"^", 0, kErrInvalidVariableName},
                        {"\xD0\x90+1", 0, kErrInvalidVariableName}, // a Cyrillic letter is no name
                        {"1.2.3", 0, kErrInvalidVariableName},
                        {"FOO(1)", 0, kErrUndefinedFunction},
                        {"sin(0)+foo(1)", 0, kErrUndefinedFunction},
                        {"1*/2", 0, kErrSyntax},
                        {"1+~2", 0, kErrSyntax},                          // "~" after a binary operator
                        {"1*(~2)", 0, kErrSyntax | kErrBracketNotClosed}, // "~" after "("
                        {"!!7", 0, kErrSyntax},           // the first "!" is left without an operand
                        {"((1))", 0, kErrNothingToCount}, // two leading brackets stop the compile
                        {"1,2", 0, kErrSyntax},           // comma outside a call
                        {"(1,2)", 0, kErrSyntax},
                        {"SIN(,1)", 0, kErrSyntax},
                        {"SIN()", 0, kErrSyntax | kErrBracketNotClosed},
                        {"SIN(1,)", 0, kErrSyntax | kErrBracketNotClosed},
                        {"~", 0, kErrSyntax},             // unary operator without an operand
                        {"1<<1E30", 0, kErrDivideByZero}, // count out of the 64-bit range
                        {"1E30%7", 0, kErrDivideByZero},
                        {"~1E30", 0, kErrDivideByZero},
                        {"!1E30", 1, 0},
                    });
}

TEST(FunctionEvaluator, CompiledFormOfSignsAndCalls) {
    TFunctionEvaluator ev = makeMainEvaluator();
    ev.setEquation("-5+3");
    const TEquationPol& p = ev.Compiled();
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].Number, 5);
    EXPECT_EQ(p[0].Style, kStyleOperand);
    EXPECT_EQ(p[1].Text, "-");
    EXPECT_EQ(p[1].Style, kStyleSign);
    EXPECT_EQ(p[2].Number, 3);
    EXPECT_EQ(p[3].Text, "+");
    EXPECT_EQ(p[3].Style, kStyleOperator | kStyleSignCapable);

    ev.setEquation("high(addr+1)");
    EXPECT_EQ(ev.Equation(), "HIGH(ADDR+1)");
    const TEquationPol& q = ev.Compiled();
    ASSERT_EQ(q.size(), 5u);
    EXPECT_EQ(q[0].Style, kStyleOpenBracket);
    EXPECT_EQ(q[0].Text, "");
    EXPECT_EQ(q[1].Text, "ADDR");
    EXPECT_EQ(q[1].IsVariable, 1);
    EXPECT_EQ(q[1].IsText, 1);
    EXPECT_EQ(q[2].Number, 1);
    EXPECT_EQ(q[3].Text, "+");
    EXPECT_EQ(q[4].Text, "HIGH");
    EXPECT_EQ(q[4].Style, kStyleFunction);
    EXPECT_EQ(ev.ErrorCode(), kErrUndefinedVariable);

    ev.setEquation("IF(A,B,C)");
    std::vector<std::string> texts;
    for (const auto& e : ev.Compiled())
        texts.push_back(e.Style == kStyleOpenBracket ? "[" : e.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"[", "A", "B", ",", "C", ",", "IF"}));
}

TEST(FunctionEvaluator, FunctionHandlerGetsArgumentsInOrder) {
    TFunctionEvaluator ev = makeMainEvaluator();
    std::vector<std::string> calls;
    std::vector<long double> lastArgs;
    ev.setFunctions({"F", "G"});
    ev.setOnFunction([&](TFunctionEvaluator&, const std::string& name, TEquationPol& args,
                         long double& result, uint16_t& error) {
        calls.push_back(name);
        lastArgs.clear();
        for (const auto& a : args)
            lastArgs.push_back(a.Number);
        result = args.size() * 100 + args[0].Number;
        error = 0;
    });
    ev.setEquation("F(1,2+3,-4)");
    EXPECT_EQ(ev.Evaluate(), 301);
    EXPECT_EQ(lastArgs, (std::vector<long double>{1, 5, -4}));

    calls.clear();
    ev.setEquation("F(G(7))*2");
    EXPECT_EQ(ev.Evaluate(), (107 + 100) * 2);
    EXPECT_EQ(calls, (std::vector<std::string>{"G", "F"}));
    EXPECT_EQ(ev.ErrorCode(), 0);

    // An error reported by the handler stops the run and lands in ErrorCode.
    ev.setOnFunction([](TFunctionEvaluator&, const std::string&, TEquationPol&, long double&,
                        uint16_t& error) { error = kErrDivideByZero; });
    ev.setEquation("1+F(2)");
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrDivideByZero);

    TFunctionEvaluator bare;
    bare.setOperators({"(", ")", ","});
    bare.setFunctions({"F"});
    bare.setEquation("F(1)");
    bare.Evaluate();
    EXPECT_EQ(bare.ErrorCode(), kErrUndefinedFunction); // no handler
}

TEST(FunctionEvaluator, VariablesAndValidation) {
    TFunctionEvaluator ev = makeMainEvaluator();
    EXPECT_EQ(ev.ErrorCode(), kErrSyntax); // a new evaluator has nothing compiled
    ev.setEquation("Speed*2");
    EXPECT_EQ(ev.ErrorCode(), kErrUndefinedVariable);
    ev.SetVariable("sPeEd", 21);
    EXPECT_EQ(ev.ErrorCode(), 0);
    EXPECT_EQ(ev.Evaluate(), 42);
    ev.SetVariable("SPEED", 1);
    EXPECT_EQ(ev.Evaluate(), 2);
    ASSERT_EQ(ev.Variables().size(), 1u);
    EXPECT_EQ(ev.Variables()[0].Text, "SPEED");
    EXPECT_EQ(ev.GetVariable("speed"), 1);
    EXPECT_EQ(ev.GetVariable("other"), 0);
    ev.SetVariableQuiet("X1", 5); // no validation, no effect on the error state
    EXPECT_TRUE(ev.HasVariable("x1"));
    ev.ClearVariables();
    EXPECT_FALSE(ev.Validate());
    EXPECT_EQ(ev.ErrorCode(), kErrUndefinedVariable);
}

TEST(FunctionEvaluator, StoredProgramsKeepTheirOwnErrorState) {
    TFunctionEvaluator ev = makeMainEvaluator();
    declareProtocolVariables(ev);
    TEqCollection programs;
    const char* fields[] = {"LN(ADDRESS)", "HIGH(ADDRESS)", "LOW(1,2)", "(1+2", "ADDRESS/PAGE"};
    size_t k = 0;
    for (const char* f : fields) {
        ev.setEquation(f);
        EXPECT_TRUE(TFunctionEvaluator::StoreCompiled(programs, ev.Compiled(), ++k));
    }
    ASSERT_EQ(programs.size(), 5u);

    ev.SetVariable("ADDRESS", 0);
    ev.SetVariable("PAGE", 0);
    ev.setCompiled(programs[0]);
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrDivideByZero);
    ev.Evaluate(); // run-time bits stay until the program is replaced
    EXPECT_EQ(ev.ErrorCode(), kErrDivideByZero);

    ev.SetVariable("ADDRESS", 0x1234);
    ev.setCompiled(programs[1]);
    EXPECT_EQ(ev.ErrorCode(), 0);
    EXPECT_EQ(ev.Evaluate(), 0x12);
    EXPECT_EQ(ev.ErrorCode(), 0);

    ev.setCompiled(programs[2]);
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrTooManyArguments);

    ev.setCompiled(programs[3]);
    EXPECT_EQ(ev.ErrorCode(), kErrBracketNotClosed);
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrBracketNotClosed);

    ev.setCompiled(programs[4]);
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrDivideByZero);
    ev.SetVariable("PAGE", 2);
    ev.setCompiled(programs[4]);
    EXPECT_EQ(ev.Evaluate(), 0x91A);

    // The stored copy is unchanged by running it.
    EXPECT_EQ(programs[1][1].Text, "ADDRESS");
    EXPECT_FALSE(TFunctionEvaluator::StoreCompiled(programs, ev.Compiled(), 0));
    EXPECT_TRUE(TFunctionEvaluator::StoreCompiled(programs, ev.Compiled(), 2));
    EXPECT_EQ(programs.size(), 2u);
}

// Programs handed back by a caller are run without trusting their shape.
TEST(FunctionEvaluator, MalformedProgramsAreRejected) {
    auto operand = [](long double v) {
        TValue e;
        e.Number = v;
        e.Style = kStyleOperand;
        return e;
    };
    auto op = [](const char* text, uint16_t style) {
        TValue e;
        e.Text = text;
        e.Style = style;
        e.Priority = 4;
        return e;
    };
    const TValue marker = op("", kStyleOpenBracket);
    const TValue plus = op("+", kStyleOperator | kStyleSignCapable);
    const TValue comma = op(",", kStyleOperator | kStyleComma);
    const TValue sign = op("-", kStyleSign);
    const TValue tilde = op("~", kStyleOperator | kStyleUnary);
    const TValue high = op("HIGH", kStyleFunction);
    const struct {
        const char* name;
        TEquationPol program;
        uint16_t error;
        long double value;
    } cases[] = {
        {"operator alone", {plus}, kErrSyntax, 0},
        {"one operand for a binary operator", {operand(1), plus}, kErrSyntax, 0},
        {"comma outside a call", {operand(1), operand(2), comma}, kErrSyntax, 0},
        {"function without argument list", {operand(1), high}, kErrSyntax, 0},
        {"empty argument list", {operand(1), marker, high}, kErrSyntax, 0},
        {"operator reaching into the outer list",
         {operand(1), marker, operand(2), plus, high},
         kErrSyntax,
         0},
        {"sign alone", {sign}, kErrSyntax, 0},
        {"unary alone", {tilde}, kErrSyntax, 0},
        {"unknown entry", {TValue{}}, kErrSyntax, 0},
        {"values left over", {operand(1), operand(2)}, kErrMissingOperator, 0},
        {"well formed", {marker, operand(0x1234), high, sign}, 0, -0x12},
    };
    TFunctionEvaluator ev = makeMainEvaluator();
    for (const auto& c : cases) {
        ev.setCompiled(c.program);
        const long double v = ev.Evaluate();
        EXPECT_EQ(ev.ErrorCode(), c.error) << c.name;
        if (c.error == 0) {
            EXPECT_EQ(v, c.value) << c.name;
        }
    }
    ev.setCompiled(TEquationPol{});
    ev.Evaluate();
    EXPECT_EQ(ev.ErrorCode(), kErrNothingToCount);
}

TEST(FunctionEvaluator, BuiltInRoutinesWithoutHandlers) {
    TFunctionEvaluator ev;
    ev.setOperators({"(", ")", "+", "-", "*", "^", "!"});
    TStringParser parser = makeEvaluatorParser();
    parser.setMultiLevelBrackets(true);
    parser.setMultiLevelBracketsOp("(");
    parser.setMultiLevelBracketsCL(")");
    ev.setStringParser(parser);
    EXPECT_FALSE(ev.StringParser().MultiLevelBrackets()); // always forced off
    expectCases(ev, {
                        {"2^10", 1024, 0},
                        {"2^-1", 0.5L, 0},
                        {"2*3^2", 18, 0},
                        {"(-8)^0.5", 0, kErrDivideByZero}, // undefined power
                        {"0^-1", 0, kErrDivideByZero},
                        {"10^5000", 0, kErrDivideByZero}, // not finite
                        {"1.5E3", 1500, 0},               // built-in decimal conversion
                        {".5", 0.5L, 0},
                        {"5.", 5, 0},
                        {"0X10", 0, kErrInvalidVariableName}, // no prefixes without a handler
                        {"INF", 0, kErrUndefinedVariable},    // a name, not infinity
                        {"NAN", 0, kErrUndefinedVariable},
                    });
}

TEST(FunctionEvaluator, HandlersReplaceBuiltIns) {
    TFunctionEvaluator ev = makeMainEvaluator();
    ev.setOperators({"(", ")", "&", "-"});
    ev.setOnGetPriority([](TFunctionEvaluator&, const std::string& op, int32_t& priority, uint16_t& style) {
        TFunctionEvaluator::BuiltInPriority(op, priority, style);
        if (op == "&") {
            priority = 5;
            style = 0;
        }
    });
    ev.setOnOperator([](TFunctionEvaluator&, const std::string& op, int kind, long double a, long double b,
                        long double& result, uint16_t& error) {
        if (op == "&" && kind == 2)
            result = static_cast<long double>(static_cast<int64_t>(a) & static_cast<int64_t>(b));
        else
            error = TFunctionEvaluator::ComputeBuiltInOperator(op, kind, a, b, result);
    });
    ev.setOnConvertStr([](TFunctionEvaluator&, std::string& text, bool& success) {
        if (text == "TEN") {
            text = "10";
            success = true;
        }
    });
    // Two minus signs keep the minus here instead of cancelling.
    ev.setOnJudgeSigns([](TFunctionEvaluator&, const std::string&, const std::string&, std::string& result) {
        result = "-";
    });
    expectCases(ev, {
                        {"12&TEN", 8, 0},
                        {"--5", -5, 0},
                        {"TEN-1", 9, 0},
                    });
}

struct SplitCase {
    const char* text;
    const char* name;
    int count;
    std::vector<std::string> args;
};

TEST(FunctionEvaluator, SplitCall) {
    const SplitCase cases[] = {
        {"DATABLOCK", "DATABLOCK", 0, {}},
        {"DATABLOCK()", "DATABLOCK", 1, {""}},
        {"DATABLOCK(ADDR)", "DATABLOCK", 1, {"ADDR"}},
        {"DATABLOCK(ADDR+1,HIGH(A,B))", "DATABLOCK", 2, {"ADDR+1", "HIGH(A,B)"}},
        {"BYTES(,)", "BYTES", 2, {"", ""}},
        {"DATABLOCKX", "DATABLOCK", -1, {}},
        {"DATABLOCK(", "DATABLOCK", -1, {}},
        {"DATABLOCK(1)+1", "DATABLOCK", -1, {}},
        {"XDATABLOCK", "DATABLOCK", -1, {}},
        {"DATA", "DATABLOCK", -1, {}},
        {"datablock", "DATABLOCK", -1, {}}, // exact comparison
        {"F(1,2,3,4,5,6,7,8,9,10,11,12,13)",
         "F",
         13,
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}},
    };
    for (const auto& c : cases) {
        TFunctionEvaluator::CallArgs args;
        int count = 99;
        EXPECT_EQ(TFunctionEvaluator::SplitCall(c.text, c.name, args, count), c.count >= 0) << c.text;
        EXPECT_EQ(count, c.count) << c.text;
        for (size_t i = 0; i < c.args.size(); ++i)
            EXPECT_EQ(args[i], c.args[i]) << c.text << " #" << i;
    }
}

TEST(FunctionEvaluator, ArgumentCountChecks) {
    TFunctionEvaluator ev = makeMainEvaluator();
    ev.setEquation("1");
    TEquationPol two(2);
    EXPECT_TRUE(TFunctionEvaluator::ArgCountIs(two, 2));
    EXPECT_FALSE(TFunctionEvaluator::ArgCountIs(two, 3));
    EXPECT_EQ(ev.ErrorCode(), 0);
    EXPECT_TRUE(ev.CheckArgCount(two, 2));
    EXPECT_EQ(ev.ErrorCode(), 0);
    EXPECT_FALSE(ev.CheckArgCount(two, 1));
    EXPECT_EQ(ev.ErrorCode(), kErrTooManyArguments);
    EXPECT_FALSE(ev.CheckArgCount(two, 3));
    EXPECT_EQ(ev.ErrorCode(), kErrTooManyArguments | kErrArgumentsLost);
}

TEST(FunctionEvaluator, ErrorTexts) {
    EXPECT_EQ(EvaluatorErrorText(kErrSyntax), "Syntax error");
    EXPECT_EQ(EvaluatorErrorText(3), "");
    EXPECT_EQ(EvaluatorErrorTexts(kErrUndefinedVariable | kErrMissingOperator),
              "Undefined variable used; Missing operator");
    EXPECT_EQ(EvaluatorErrorTexts(0x7FF),
              "Undefined variable used; Invalid bracket close; Bracket is not closed; Syntax error; "
              "Undefined function used; Too many arguments; Argument(s) lost; Divide by zero; "
              "Invalid variable name; Nothing to count; Missing operator");
}

} // namespace
