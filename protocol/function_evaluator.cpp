#include "protocol/function_evaluator.h"

#include "base/text_utils.h"
#include "protocol/number_conversion.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>

namespace protocol {

namespace {

// Priority given to unary operators, pending signs and function entries, so that they wait for
// their operand (or closing bracket) and then bind tighter than any binary operator.
constexpr int32_t kBoundPriority = 1001;

constexpr uint16_t kRunTimeBits = kErrTooManyArguments | kErrArgumentsLost | kErrDivideByZero;
constexpr uint16_t kKeptByValidation =
    kErrInvalidBracketClose | kErrBracketNotClosed | kErrSyntax | kRunTimeBits;

struct ErrorTextEntry {
    uint16_t bit;
    std::string_view text;
};

constexpr ErrorTextEntry kErrorTexts[] = {
    {kErrUndefinedVariable, "Undefined variable used"},
    {kErrInvalidBracketClose, "Invalid bracket close"},
    {kErrBracketNotClosed, "Bracket is not closed"},
    {kErrSyntax, "Syntax error"},
    {kErrUndefinedFunction, "Undefined function used"},
    {kErrTooManyArguments, "Too many arguments"},
    {kErrArgumentsLost, "Argument(s) lost"},
    {kErrDivideByZero, "Divide by zero"},
    {kErrInvalidVariableName, "Invalid variable name"},
    {kErrNothingToCount, "Nothing to count"},
    {kErrMissingOperator, "Missing operator"},
};

struct PriorityEntry {
    std::string_view text;
    int32_t priority;
    uint16_t style;
};

constexpr PriorityEntry kPriorities[] = {
    {"(", 0, kStyleOpenBracket},
    {")", 1, kStyleCloseBracket},
    {",", 2, kStyleComma},
    {"=", 3, 0},
    {"!=", 3, 0},
    {"<>", 3, 0},
    {">=", 3, 0},
    {"<=", 3, 0},
    {">", 3, 0},
    {"<", 3, 0},
    {"+", 4, kStyleSignCapable},
    {"-", 4, kStyleSignCapable},
    {"*", 5, 0},
    {"/", 5, 0},
    {"%", 5, 0},
    {"<<", 5, 0},
    {">>", 5, 0},
    {"^", 6, 0},
    {"~", 0, kStyleUnary},
    {"!", 0, kStyleUnary},
};

// Whether two consecutive operators (previous style p, current style c, current token number i)
// may stand side by side.
bool adjacentOperatorsAccepted(uint16_t p, uint16_t c, size_t i) {
    const bool cOpen = c & kStyleOpenBracket;
    const bool cSign = c & kStyleSignCapable;
    const bool cComma = c & kStyleComma;
    const bool pSign = p & kStyleSignCapable;
    const bool pComma = p & kStyleComma;
    return (cOpen && pSign) || (cOpen && i > 2) || (cSign && (pSign || p == kStyleOperator)) ||
           (p & kStyleUnary) || (cComma && !pComma) || (pComma && (cOpen || cSign)) ||
           (p & kStyleCloseBracket) || ((p & kStyleOpenBracket) && cSign);
}

// The new pending sign for two consecutive signs.
std::string combineSigns(const std::string& pending, const std::string& sign) {
    if ((pending == "+" && sign == "-") || (pending == "-" && sign == "+"))
        return "-";
    if (pending == sign)
        return {}; // "--" and "++" cancel; a following sign starts afresh
    return pending;
}

int32_t topPriority(const std::vector<TValue>& stack) {
    for (auto it = stack.rbegin(); it != stack.rend(); ++it)
        if (it->Style & kStyleOperator)
            return it->Priority;
    return -1;
}

// The C locale, for number conversion that must not follow the user's decimal separator.
locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string_view EvaluatorErrorText(uint16_t bit) {
    for (const auto& e : kErrorTexts)
        if (e.bit == bit)
            return e.text;
    return {};
}

std::string EvaluatorErrorTexts(uint16_t code) {
    std::string out;
    for (const auto& e : kErrorTexts) {
        if (!(code & e.bit))
            continue;
        if (!out.empty())
            out += "; ";
        out += e.text;
    }
    return out;
}

bool parseDecimalLiteral(std::string_view text, long double& value) {
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t exponentDigits = 0;
        while (i < n && isDigit(text[i]))
            ++i, ++exponentDigits;
        if (exponentDigits == 0)
            return false;
    }
    if (i != n)
        return false;

    // The syntax is checked above, so strtold only sees plain decimal numbers; the C locale keeps
    // "." the decimal point whatever locale the program runs in.
    const std::string copy(text);
    const locale_t c = cLocale();
    const locale_t previous = c ? uselocale(c) : static_cast<locale_t>(nullptr);
    char* end = nullptr;
    const long double converted = std::strtold(copy.c_str(), &end);
    if (previous)
        uselocale(previous);
    if (end != copy.c_str() + copy.size() || !std::isfinite(converted))
        return false;
    value = converted;
    return true;
}

void TFunctionEvaluator::BuiltInPriority(const std::string& op, int32_t& priority, uint16_t& style) {
    for (const auto& e : kPriorities) {
        if (e.text == op) {
            priority = e.priority;
            style = e.style;
            return;
        }
    }
    priority = -1;
    style = 0;
}

uint16_t TFunctionEvaluator::ComputeBuiltInOperator(const std::string& op, int kind, long double op1,
                                                    long double op2, long double& result) {
    result = 0;
    if (kind == 4) {
        if (!std::isfinite(op1))
            return kErrDivideByZero;
        // Whole means whole to four decimals, as values typed with a few decimals should count.
        // Values too large for a fraction are whole even when the scaled value loses digits.
        const bool whole = std::trunc(op1) == op1 || std::fmod(roundHalfEven(op1 * 10000), 10000.0L) == 0;
        if (!whole)
            return kErrUndefinedVariable;
        if (op == "!") {
            result = std::trunc(op1) == 0 ? 0 : 1;
            return 0;
        }
        if (op == "~") {
            int64_t t = 0;
            if (!truncToInt64(op1, t))
                return kErrDivideByZero;
            const uint64_t complement = ~static_cast<uint64_t>(t);
            const uint64_t mask = t < 256 ? 0xFFu : t < 65536 ? 0xFFFFu : 0xFFFFFFFFu;
            result = static_cast<long double>(complement & mask);
            return 0;
        }
        return kErrSyntax;
    }

    if (op == "=")
        result = op1 == op2;
    else if (op == "!=" || op == "<>")
        result = op1 != op2;
    else if (op == ">=")
        result = op1 >= op2;
    else if (op == "<=")
        result = op1 <= op2;
    else if (op == ">")
        result = op1 > op2;
    else if (op == "<")
        result = op1 < op2;
    else if (op == "+")
        result = op1 + op2;
    else if (op == "-")
        result = op1 - op2;
    else if (op == "*")
        result = op1 * op2;
    else if (op == "/") {
        if (op2 == 0)
            return kErrDivideByZero;
        result = op1 / op2;
    } else if (op == "%") {
        int64_t a = 0, b = 0;
        if (!truncToInt64(op1, a) || !truncToInt64(op2, b) || b == 0)
            return kErrDivideByZero;
        // INT64_MIN % -1 overflows in C++; the remainder by -1 is always 0.
        result = b == -1 ? 0 : static_cast<long double>(a % b);
    } else if (op == "<<" || op == ">>") {
        int64_t value = 0, count = 0;
        if (!truncToInt64(op1, value) || !truncToInt64(op2, count))
            return kErrDivideByZero;
        if (count < 0 || count >= 64) {
            result = 0;
        } else {
            const auto bits = static_cast<uint64_t>(value);
            const uint64_t shifted = op == "<<" ? bits << count : bits >> count;
            result = static_cast<long double>(static_cast<int64_t>(shifted));
        }
    } else if (op == "^") {
        result = std::pow(op1, op2);
        if (!std::isfinite(result)) {
            result = 0;
            return kErrDivideByZero;
        }
    } else {
        return kErrSyntax;
    }
    return 0;
}

void TFunctionEvaluator::operatorPriority(const std::string& op, int32_t& priority, uint16_t& style) {
    if (m_onGetPriority) {
        priority = -1;
        style = 0;
        m_onGetPriority(*this, op, priority, style);
    } else {
        BuiltInPriority(op, priority, style);
    }
}

bool TFunctionEvaluator::convertOperand(std::string& text, long double& value) {
    if (m_onConvertVal) {
        bool success = false;
        m_onConvertVal(*this, text, value, success);
        return success;
    }
    return parseDecimalLiteral(text, value);
}

void TFunctionEvaluator::setStringParser(const TStringParser& parser) {
    m_parser.Assign(parser);
    m_parser.setMultiLevelBrackets(false);
}

void TFunctionEvaluator::setEquation(std::string_view expression) {
    m_errorCode = 0;
    m_compiled.clear();
    m_compiled.CompileErrorCode = 0;
    std::vector<TValue> stack;
    std::string pendingSign;

    std::string withoutSpaces;
    for (char c : base::UpperCaseText(expression))
        if (c != ' ')
            withoutSpaces += c;
    m_equation = base::TrimBlanks(withoutSpaces);

    auto pushPendingSign = [&] {
        TValue sign;
        sign.Text = pendingSign;
        sign.Priority = kBoundPriority;
        sign.Style = kStyleSign;
        stack.push_back(std::move(sign));
        pendingSign.clear();
    };
    auto moveTop = [&] {
        m_compiled.push_back(std::move(stack.back()));
        stack.pop_back();
    };

    const std::vector<std::string> tokens = m_parser.Tokenize(m_equation);
    bool previousWasOperator = false; // token i-1 was an operator
    uint16_t previousStyle = 0;       // style of the last operator seen
    std::string previousOperandName;  // the name a following "(" turns into a function call

    for (size_t i = 1; i <= tokens.size() && m_errorCode == 0; ++i) {
        const std::string& token = tokens[i - 1];
        int32_t priority = -1;
        uint16_t style = 0;
        if (base::IsInList(m_operators, token))
            operatorPriority(token, priority, style);

        if (priority == -1) {
            TValue operand;
            std::string text = token;
            bool rewritten = false;
            if (m_onConvertStr)
                m_onConvertStr(*this, text, rewritten);
            long double value = 0;
            if (convertOperand(text, value)) {
                operand.Number = value;
                previousOperandName = token;
            } else {
                operand.Text = rewritten ? text : token;
                operand.IsText = 1;
                previousOperandName = operand.Text;
            }
            operand.Style = kStyleOperand;
            m_compiled.push_back(std::move(operand));
            previousWasOperator = false;
            continue;
        }

        style |= kStyleOperator;
        if (style & kStyleUnary)
            priority = kBoundPriority;
        const uint16_t p = previousStyle;
        const uint16_t c = style;

        bool accepted = true;
        if (i >= 2 && previousWasOperator && !adjacentOperatorsAccepted(p, c, i)) {
            m_errorCode |= kErrSyntax;
            accepted = false;
        }

        const bool isSign = (previousWasOperator || i == 1) && (c & kStyleSignCapable) &&
                            !(p & kStyleCloseBracket) && !(p & kStyleUnary);
        if (accepted && isSign) {
            if (pendingSign.empty()) {
                pendingSign = token;
            } else if (m_onJudgeSigns) {
                std::string combined = pendingSign;
                m_onJudgeSigns(*this, pendingSign, token, combined);
                pendingSign = combined;
            } else {
                pendingSign = combineSigns(pendingSign, token);
            }
        } else if (accepted) {
            int32_t top;
            if (!pendingSign.empty()) {
                pushPendingSign();
                top = kBoundPriority;
            } else {
                top = topPriority(stack);
            }

            if (c & kStyleCloseBracket) {
                bool found = false;
                while (!stack.empty()) {
                    if (stack.back().Style & kStyleOpenBracket) {
                        stack.pop_back();
                        found = true;
                        break;
                    }
                    if (stack.back().Style & kStyleCloseBracket)
                        stack.pop_back();
                    else
                        moveTop();
                }
                if (!found)
                    m_errorCode |= kErrInvalidBracketClose;
                // Functions, signs and unary operators waiting for this bracket.
                while (!stack.empty() && stack.back().Priority >= kBoundPriority)
                    moveTop();
            } else if (c & kStyleOpenBracket) {
                if (i >= 2 && !previousWasOperator && !m_compiled.empty()) {
                    // The operand before "(" names a function: its place in the program becomes the
                    // start of the argument list, the call waits on the stack.
                    TValue marker;
                    marker.Style = kStyleOpenBracket;
                    m_compiled.back() = std::move(marker);
                    TValue call;
                    call.Text = previousOperandName;
                    call.Priority = kBoundPriority;
                    call.Style = kStyleFunction;
                    stack.push_back(std::move(call));
                }
                TValue open;
                open.Text = token;
                open.Priority = 0;
                open.Style = c;
                stack.push_back(std::move(open));
            } else {
                if (priority <= top)
                    while (!stack.empty() && stack.back().Priority >= priority)
                        moveTop();
                TValue op;
                op.Text = token;
                op.Priority = priority;
                op.Style = c;
                stack.push_back(std::move(op));
            }
        }
        previousStyle = c;
        previousWasOperator = true;
    }

    if (!pendingSign.empty())
        pushPendingSign();
    if (previousWasOperator && !(previousStyle & kStyleUnary) && !(previousStyle & kStyleCloseBracket))
        m_errorCode |= kErrSyntax;
    for (const TValue& entry : stack)
        if (entry.Style & kStyleOpenBracket)
            m_errorCode |= kErrBracketNotClosed;
    while (!stack.empty() && !(stack.back().Style & kStyleOpenBracket))
        moveTop();
    for (TValue& entry : m_compiled)
        if (entry.IsText == 1 && (entry.Style & kStyleOperand))
            entry.IsVariable = 1;
    Validate();
    m_compiled.CompileErrorCode = m_errorCode;
}

void TFunctionEvaluator::setCompiled(const TEquationPol& program) {
    m_compiled = program;
    m_errorCode = program.CompileErrorCode;
}

void TFunctionEvaluator::setCompiled(TEquationPol&& program) {
    m_errorCode = program.CompileErrorCode;
    m_compiled = std::move(program);
}

bool TFunctionEvaluator::Validate() {
    m_errorCode &= kKeptByValidation;
    if (m_compiled.empty()) {
        m_errorCode = kErrNothingToCount;
        return false;
    }
    bool missing = false;
    for (TValue& entry : m_compiled) {
        if (entry.IsVariable) {
            if (!base::IsIdentifier(entry.Text)) {
                m_errorCode = kErrInvalidVariableName;
                return false;
            }
            if (entry.Style & kStyleOperand) {
                if (const TValue* variable = findVariable(entry.Text)) {
                    entry.Number = variable->Number;
                    entry.IsText = 0;
                } else {
                    m_errorCode |= kErrUndefinedVariable;
                    missing = true;
                }
            }
        }
        if ((entry.Style & kStyleFunction) && !base::IsInList(m_functions, entry.Text)) {
            m_errorCode |= kErrUndefinedFunction;
            missing = true;
        }
    }
    return !missing;
}

long double TFunctionEvaluator::Evaluate() {
    Validate();
    if (m_errorCode != 0)
        return 0;

    // The program is run as a stack machine: `values` holds the results of the entries walked so
    // far; each argument list remembers where its values start, and no entry may take operands
    // from below that point, so a malformed program can never reach outside its own values.
    struct ArgumentList {
        TEquationPol args;
        size_t start;
    };
    std::vector<long double> values;
    std::vector<ArgumentList> lists;
    values.reserve(m_compiled.size());
    uint16_t e = 0;

    for (size_t i = 0; i < m_compiled.size() && e == 0; ++i) {
        const TValue& entry = m_compiled[i];
        const uint16_t style = entry.Style;
        const size_t base = lists.empty() ? 0 : lists.back().start;
        const size_t available = values.size() - base;
        long double result = 0;

        if (style & kStyleUnary) {
            if (available < 1) {
                e = kErrSyntax;
            } else if (m_onOperator) {
                m_onOperator(*this, entry.Text, 4, values.back(), 0, result, e);
            } else {
                e = ComputeBuiltInOperator(entry.Text, 4, values.back(), 0, result);
            }
            if (e == 0)
                values.back() = result;
        } else if (style & kStyleOpenBracket) {
            lists.push_back({TEquationPol(), values.size()});
        } else if (style & kStyleFunction) {
            if (lists.empty() || available < 1) {
                e = kErrSyntax; // F() or a call without its argument list
                continue;
            }
            TValue arg;
            arg.Number = values.back();
            arg.Style = kStyleOperand;
            lists.back().args.push_back(std::move(arg));
            values.pop_back();
            if (!m_onFunction) {
                e = kErrUndefinedFunction;
                continue;
            }
            m_onFunction(*this, entry.Text, lists.back().args, result, e);
            if (e == 0) {
                values.push_back(result);
                lists.pop_back();
            }
        } else if (style & kStyleComma) {
            if (lists.empty() || available < 2) {
                e = kErrSyntax; // a comma outside a call, or an argument missing
                continue;
            }
            TValue arg;
            arg.Number = values[values.size() - 2];
            arg.Style = kStyleOperand;
            lists.back().args.push_back(std::move(arg));
            values.erase(values.end() - 2);
        } else if (style & kStyleSign) {
            if (available < 1)
                e = kErrSyntax;
            else if (entry.Text == "-")
                values.back() = -values.back();
        } else if (style & kStyleOperator) {
            if (available < 2) {
                e = kErrSyntax;
            } else if (m_onOperator) {
                m_onOperator(*this, entry.Text, 2, values[values.size() - 2], values.back(), result, e);
            } else {
                e = ComputeBuiltInOperator(entry.Text, 2, values[values.size() - 2], values.back(), result);
            }
            if (e == 0) {
                values.pop_back();
                values.back() = result;
            }
        } else if (style & kStyleOperand) {
            values.push_back(entry.Number);
        } else {
            e = kErrSyntax;
        }
    }
    if (e == 0 && values.size() > 1)
        e = kErrMissingOperator;
    m_errorCode |= e;
    return values.empty() ? 0 : values.front();
}

TValue* TFunctionEvaluator::findVariable(std::string_view upperName) {
    for (TValue& v : m_variables)
        if (v.Text == upperName)
            return &v;
    return nullptr;
}

const TValue* TFunctionEvaluator::findVariable(std::string_view upperName) const {
    for (const TValue& v : m_variables)
        if (v.Text == upperName)
            return &v;
    return nullptr;
}

void TFunctionEvaluator::SetVariableQuiet(std::string_view name, long double value) {
    const std::string upper = base::UpperCaseText(name);
    if (TValue* v = findVariable(upper)) {
        v->Number = value;
        return;
    }
    TValue v;
    v.Text = upper;
    v.Number = value;
    v.Style = kStyleOperand;
    m_variables.push_back(std::move(v));
}

void TFunctionEvaluator::SetVariable(std::string_view name, long double value) {
    SetVariableQuiet(name, value);
    Validate();
}

long double TFunctionEvaluator::GetVariable(std::string_view name) const {
    const TValue* v = findVariable(base::UpperCaseText(name));
    return v ? v->Number : 0;
}

bool TFunctionEvaluator::HasVariable(std::string_view name) const {
    return findVariable(base::UpperCaseText(name)) != nullptr;
}

bool TFunctionEvaluator::CheckArgCount(const TEquationPol& args, size_t count) {
    if (args.size() > count)
        m_errorCode |= kErrTooManyArguments;
    else if (args.size() < count)
        m_errorCode |= kErrArgumentsLost;
    return args.size() == count;
}

bool TFunctionEvaluator::SplitCall(std::string_view text, std::string_view name, CallArgs& args, int& count) {
    count = -1;
    if (text.substr(0, name.size()) != name)
        return false;
    const std::string_view rest = text.substr(name.size());
    if (rest.empty()) {
        count = 0;
        return true;
    }
    if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')')
        return false;
    const std::string_view inner = rest.substr(1, rest.size() - 2);
    int pieces = 0;
    int depth = 0;
    size_t pieceStart = 0;
    auto store = [&](size_t end) {
        if (pieces < static_cast<int>(kMaxCallArgs))
            args[static_cast<size_t>(pieces)] = std::string(inner.substr(pieceStart, end - pieceStart));
        ++pieces;
    };
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '(') {
            ++depth;
        } else if (inner[i] == ')') {
            --depth;
        } else if (inner[i] == ',' && depth <= 0) {
            store(i);
            pieceStart = i + 1;
        }
    }
    store(inner.size());
    count = pieces;
    return true;
}

bool TFunctionEvaluator::StoreCompiled(TEqCollection& collection, const TEquationPol& program, size_t k) {
    if (k < 1)
        return false;
    collection.resize(k);
    collection[k - 1] = program;
    return true;
}

} // namespace protocol
