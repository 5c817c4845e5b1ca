#include "protocol/evaluator_setup.h"

#include "base/number_text.h"
#include "protocol/number_conversion.h"

#include <cmath>

namespace protocol {

namespace {

enum class Arity { One, IfForm };

// A function of one argument computed in long double; false when the argument is outside its
// domain.
using RealFunction = bool (*)(long double x, long double& result);

// A function defined for every argument.
template <long double (*F)(long double)> bool total(long double x, long double& r) {
    r = F(x);
    return true;
}

// A function of the argument rounded to a whole number; false when that does not fit 64 bits.
template <long double (*F)(int64_t)> bool ofWhole(long double x, long double& r) {
    int64_t v = 0;
    if (!roundToInt64(x, v))
        return false;
    r = F(v);
    return true;
}

long double high(int64_t v) {
    return static_cast<long double>(v / 256); // toward zero, not limited to 8 bits
}

long double low(int64_t v) {
    return static_cast<long double>(v % 256); // signed remainder: LOW(-1) is -1
}

template <unsigned Shift> long double byteAt(int64_t v) {
    return static_cast<long double>((static_cast<uint64_t>(v) >> Shift) & 0xFFu);
}

bool sqrtOf(long double x, long double& r) {
    if (x < 0)
        return false;
    r = std::sqrt(x);
    return true;
}

bool lnOf(long double x, long double& r) {
    if (!(x > 0))
        return false;
    r = std::log(x);
    return true;
}

struct FunctionEntry {
    std::string_view name;
    Arity arity;
    RealFunction compute; // for Arity::One
};

constexpr FunctionEntry kFunctions[] = {
    {"SIN", Arity::One, total<sinl>},
    {"COS", Arity::One, total<cosl>},
    {"EXP", Arity::One, total<expl>},
    {"LN", Arity::One, lnOf},
    {"SQRT", Arity::One, sqrtOf},
    {"TRUNC", Arity::One, total<truncl>},
    {"ROUND", Arity::One, total<roundHalfEven>},
    {"IF", Arity::IfForm, nullptr},
    {"HIGH", Arity::One, ofWhole<high>},
    {"LOW", Arity::One, ofWhole<low>},
    {"BYTE0", Arity::One, ofWhole<low>},
    {"BYTE1", Arity::One, ofWhole<byteAt<8>>},
    {"BYTE2", Arity::One, ofWhole<byteAt<16>>},
    {"BYTE3", Arity::One, ofWhole<byteAt<24>>},
};

static_assert(std::size(kFunctions) == kMainFunctions.size());

// The integer path of a literal: optional blanks, sign, hexadecimal prefix, digits; the low 16
// bits of the value. Digits beyond 16 bits only shift out, so any length converts.
bool parsePrefixedInteger(std::string_view text, long double& result) {
    constexpr base::NumberRules kRules{base::NumberBlanks::Leading, true, 0xFFFF,
                                       base::NumberOverflow::KeepLowBits};
    const std::optional<base::NumberText> number = base::readNumberText(text, kRules);
    if (!number)
        return false;
    result = number->negative ? (0x10000u - number->magnitude) & 0xFFFFu : number->magnitude;
    return true;
}

} // namespace

TStringParser makeEvaluatorParser() {
    TStringParser parser;
    parser.setCharGroups({"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$."});
    parser.setFixedCombinations({"<<", ">>", "**", "<=", ">=", "!=", "<>"});
    parser.setMultiLevelBrackets(false);
    return parser;
}

TFunctionEvaluator makeMainEvaluator() {
    TFunctionEvaluator evaluator;
    evaluator.setOperators(std::vector<std::string>(kMainOperators.begin(), kMainOperators.end()));
    evaluator.setFunctions(std::vector<std::string>(kMainFunctions.begin(), kMainFunctions.end()));
    evaluator.setStringParser(makeEvaluatorParser());
    evaluator.setOnConvertVal(FunctionEvaluator1ConvertVal);
    evaluator.setOnFunction(FunctionEvaluator1Function);
    return evaluator;
}

void declareProtocolVariables(TFunctionEvaluator& evaluator) {
    for (std::string_view name : kProtocolVariableNames)
        if (!evaluator.HasVariable(name))
            evaluator.SetVariableQuiet(name, 0);
    evaluator.Validate();
}

void FunctionEvaluator1ConvertVal(TFunctionEvaluator&, const std::string& value, long double& result,
                                  bool& success) {
    success = parseDecimalLiteral(value, result) || parsePrefixedInteger(value, result);
}

void FunctionEvaluator1Function(TFunctionEvaluator& sender, const std::string& name, TEquationPol& operands,
                                long double& result, uint16_t& errorCode) {
    errorCode = 0;
    const FunctionEntry* entry = nullptr;
    for (const auto& f : kFunctions)
        if (f.name == name)
            entry = &f;
    if (!entry)
        return;

    long double value = 0;
    if (entry->arity == Arity::IfForm) {
        if (TFunctionEvaluator::ArgCountIs(operands, 2)) {
            value = operands[0].Number * operands[1].Number;
        } else if (sender.CheckArgCount(operands, 3)) {
            const long double c = operands[0].Number;
            value = c * operands[1].Number + (1 - c) * operands[2].Number;
        } else {
            return;
        }
    } else {
        if (!sender.CheckArgCount(operands, 1))
            return;
        if (!entry->compute(operands[0].Number, value)) {
            errorCode = kErrDivideByZero;
            return;
        }
    }
    if (!std::isfinite(value)) {
        errorCode = kErrDivideByZero;
        return;
    }
    result = value;
}

} // namespace protocol
