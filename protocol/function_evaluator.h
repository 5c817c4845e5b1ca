#pragma once
// TFunctionEvaluator turns an infix expression (a field of a command template, for instance) into a
// postfix program once and runs that program as often as needed with changing variable values.
//
// It knows no operator, function or variable by itself: the owner sets the operator texts
// (`setOperators`) and function names (`setFunctions`); priorities come from a built-in table or
// OnGetPriority, operators are computed by a built-in routine or OnOperator, functions only by
// OnFunction, number literals by a built-in decimal conversion or OnConvertVal, and variables are set
// from outside (`SetVariable`). All numbers are `long double` (80-bit extended precision on x86).
// makeMainEvaluator() in protocol/evaluator_setup.h builds the configuration the program uses.
//
// Typical use by the command templates:
//   ev.setEquation(field);            // compile; ErrorCode() 0 when well formed and all names known
//   TEquationPol program = ev.Compiled();
//   ...
//   ev.SetVariable("ADDRESS", 0x2100);
//   ev.setCompiled(program);          // ErrorCode() becomes the program's own compile-time bits
//   long double v = ev.Evaluate();    // meaningful only when ErrorCode() is 0 afterwards
//
// Errors never raise: they are bits of ErrorCode() (see EvaluatorError). Expressions are UTF-8; the
// evaluator upper-cases them character-wise (UpperCaseText) before compiling.

#include "protocol/string_parser.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

// Bits of TValue::Style.
enum StyleBit : uint16_t {
    kStyleOperand = 1,       // numbers and names
    kStyleOperator = 2,      // every token found in Operators
    kStyleUnary = 4,         // prefix operators such as "~" and "!"
    kStyleFunction = 8,      // a function call; the entry holds the function name
    kStyleOpenBracket = 16,  // "(" while compiling; in a program, the start of an argument list
    kStyleCloseBracket = 32, // ")"
    kStyleSign = 64,         // a collected sign ("-" or "+") applied to the preceding value
    kStyleComma = 128,       // "," (argument separator)
    kStyleSignCapable = 256, // "+" and "-": signs where an operand is expected
};

// Bits of ErrorCode().
enum EvaluatorError : uint16_t {
    kErrUndefinedVariable = 1,     // "Undefined variable used"
    kErrInvalidBracketClose = 2,   // "Invalid bracket close"
    kErrBracketNotClosed = 4,      // "Bracket is not closed"
    kErrSyntax = 8,                // "Syntax error"
    kErrUndefinedFunction = 16,    // "Undefined function used"
    kErrTooManyArguments = 32,     // "Too many arguments"
    kErrArgumentsLost = 64,        // "Argument(s) lost"
    kErrDivideByZero = 128,        // "Divide by zero" (any value outside an operation's domain)
    kErrInvalidVariableName = 256, // "Invalid variable name"
    kErrNothingToCount = 512,      // "Nothing to count"
    kErrMissingOperator = 1024,    // "Missing operator"
};

// The text of one error bit ("Syntax error" for 8), or empty for a value that is not a single bit
// of the table.
std::string_view EvaluatorErrorText(uint16_t bit);

// The texts of every bit set in `code`, lowest bit first, joined by "; ".
std::string EvaluatorErrorTexts(uint16_t code);

// One entry of a compiled program, of the variable list or of a function's argument list.
struct TValue {
    std::string Text;       // operator text, function name or variable name; empty for a number
    long double Number = 0; // a constant, a looked-up variable's value, a function result
    int32_t Priority = -1;  // operator priority; -1 for operands
    uint8_t IsText = 0;     // 1 while the entry holds a name that has no number yet
    uint8_t IsVariable = 0; // 1 for an operand that is a variable reference (looked up at validation)
    uint16_t Style = 0;     // StyleBit flags
};

// A list of TValue: a compiled (postfix) program, the variable list or an argument list.
// A program made by a compile also remembers that compile's ErrorCode, so that putting it back
// (setCompiled) restores exactly its own error state.
struct TEquationPol : std::vector<TValue> {
    using std::vector<TValue>::vector;
    uint16_t CompileErrorCode = 0;
};

// Callers keep their compiled programs in one of these.
using TEqCollection = std::vector<TEquationPol>;

class TFunctionEvaluator {
  public:
    // Sets both the priority and the style bits of an operator text.
    using TGetPriority = std::function<void(TFunctionEvaluator& sender, const std::string& op,
                                            int32_t& priority, uint16_t& style)>;
    // Computes an operator: kind 2 binary (op1 left, op2 right), kind 4 unary (op1 only, op2 0).
    // A nonzero errorCode stops the run and is added to ErrorCode().
    using TComputeOperator =
        std::function<void(TFunctionEvaluator& sender, const std::string& op, int kind, long double op1,
                           long double op2, long double& result, uint16_t& errorCode)>;
    // Computes a function; `operands` holds the arguments in order, each value in its Number field.
    // errorCode starts at 0; a nonzero errorCode stops the run and is added to ErrorCode(). A result
    // left unset is 0.
    using TComputeFunction =
        std::function<void(TFunctionEvaluator& sender, const std::string& name, TEquationPol& operands,
                           long double& result, uint16_t& errorCode)>;
    // May rewrite an operand text before conversion; with success true the rewritten text also
    // becomes the operand's name when it is not a number.
    using TConvertValueStr =
        std::function<void(TFunctionEvaluator& sender, std::string& value, bool& success)>;
    // Converts an operand text to a number; success false makes the operand a name.
    using TConvertValueVal = std::function<void(TFunctionEvaluator& sender, const std::string& value,
                                                long double& result, bool& success)>;
    // Combines two consecutive signs into the pending sign ("" for none).
    using TSignJudgement = std::function<void(TFunctionEvaluator& sender, const std::string& sign1,
                                              const std::string& sign2, std::string& result)>;

    TFunctionEvaluator() = default;

    // --- Compiling -------------------------------------------------------------------------
    // Compiles the expression: upper case, spaces removed, tabs and spaces trimmed (that normalised
    // text is what Equation() returns afterwards), tokenised, turned into the postfix Compiled(),
    // then validated. Afterwards ErrorCode() is 0 when the expression is well formed and all its
    // names are known; otherwise it holds bits 2, 4, 8 (syntax), 1, 16, 256, 512 (validation).
    void setEquation(std::string_view expression);
    const std::string& Equation() const { return m_equation; }

    // Error bits of the last compile and the evaluations since; 8 in a new evaluator.
    uint16_t ErrorCode() const { return m_errorCode; }

    // --- Programs --------------------------------------------------------------------------
    // The postfix program of the last compile (or the one put back).
    const TEquationPol& Compiled() const { return m_compiled; }
    // Puts a stored program back (copied). ErrorCode() becomes the program's CompileErrorCode, so
    // run-time bits (32, 64, 128) left by another program do not carry over.
    void setCompiled(const TEquationPol& program);
    void setCompiled(TEquationPol&& program);

    // --- Running ---------------------------------------------------------------------------
    // Looks up variables and checks function names. ErrorCode() keeps bits 2, 4, 8, 32, 64, 128 and
    // recomputes: 512 alone for an empty program; 256 alone when a variable reference is not an
    // identifier; otherwise 1 for an unknown variable and 16 for an unknown function. True when
    // none of bits 1, 16, 256 and 512 is set.
    bool Validate();
    // Validates, then runs Compiled() when ErrorCode() is 0. Errors added to ErrorCode(): 1 ("~" or
    // "!" of a value that is not whole), 128 (division by zero, a value out of an operation's
    // domain or out of the 64-bit integer range where one is needed), 16 (no OnFunction), 8 (an
    // operator, comma or function without enough operands in its argument list), 1024 (values left
    // without an operator), and whatever a handler reports. The result means nothing when
    // ErrorCode() is nonzero afterwards.
    long double Evaluate();

    // --- Variables -------------------------------------------------------------------------
    // Looks the name up without regard to letter case; updates it, or appends it in upper case;
    // then Validate(). SetVariableQuiet does the same without Validate().
    void SetVariable(std::string_view name, long double value);
    void SetVariableQuiet(std::string_view name, long double value);
    // The variable's value, or 0 when there is none (letter case ignored).
    long double GetVariable(std::string_view name) const;
    // True when the variable exists (letter case ignored).
    bool HasVariable(std::string_view name) const;
    void ClearVariables() { m_variables.clear(); }
    const TEquationPol& Variables() const { return m_variables; }
    // Puts back a variable list taken from Variables() (a trial that must leave no trace).
    void RestoreVariables(TEquationPol variables) { m_variables = std::move(variables); }

    // --- Configuration ---------------------------------------------------------------------
    const std::vector<std::string>& Operators() const { return m_operators; }
    void setOperators(std::vector<std::string> operators) { m_operators = std::move(operators); }
    const std::vector<std::string>& Functions() const { return m_functions; }
    void setFunctions(std::vector<std::string> functions) { m_functions = std::move(functions); }
    // Copies the parser's settings and then turns MultiLevelBrackets off.
    void setStringParser(const TStringParser& parser);
    const TStringParser& StringParser() const { return m_parser; }

    void setOnGetPriority(TGetPriority handler) { m_onGetPriority = std::move(handler); }
    void setOnOperator(TComputeOperator handler) { m_onOperator = std::move(handler); }
    void setOnFunction(TComputeFunction handler) { m_onFunction = std::move(handler); }
    void setOnConvertStr(TConvertValueStr handler) { m_onConvertStr = std::move(handler); }
    void setOnConvertVal(TConvertValueVal handler) { m_onConvertVal = std::move(handler); }
    void setOnJudgeSigns(TSignJudgement handler) { m_onJudgeSigns = std::move(handler); }

    // --- Helpers for function handlers and templates ---------------------------------------
    // True when `args` has exactly `count` entries; otherwise sets ErrorCode() bit 32 (more) or
    // 64 (fewer) and returns false.
    bool CheckArgCount(const TEquationPol& args, size_t count);
    // Only compares.
    static bool ArgCountIs(const TEquationPol& args, size_t count) { return args.size() == count; }

    static constexpr size_t kMaxCallArgs = 11;
    using CallArgs = std::array<std::string, kMaxCallArgs>;
    // Recognises `name` or `name(a,b,...)` at the start of `text` (exact comparison). count 0 when
    // nothing follows the name; the number of pieces when a bracketed list follows (split at commas
    // outside inner brackets; an empty list is one empty piece; only the first 11 pieces are stored
    // in `args`, count still tells how many there were); -1 otherwise. Returns count >= 0.
    static bool SplitCall(std::string_view text, std::string_view name, CallArgs& args, int& count);

    // Sets the collection's length to k and puts the program at position k (from 1). Does nothing
    // and returns false for k < 1.
    static bool StoreCompiled(TEqCollection& collection, const TEquationPol& program, size_t k);

    // The built-in computation of the operator table ("=", "<>", "!=", ">=", "<=", ">", "<", "+",
    // "-", "*", "/", "%", "<<", ">>", "^", and the unary "~" and "!"); used when OnOperator is not
    // set. Returns the error code: 0, 1 ("~"/"!" of a value that is not whole), 128 (division by
    // zero, "%" by a value truncating to 0, a power that is undefined or not finite, an integer
    // conversion of a value that is not finite or out of the 64-bit range), 8 (an unknown operator).
    static uint16_t ComputeBuiltInOperator(const std::string& op, int kind, long double op1, long double op2,
                                           long double& result);
    // The built-in priority table; priority -1 for texts it does not know.
    static void BuiltInPriority(const std::string& op, int32_t& priority, uint16_t& style);

  private:
    bool convertOperand(std::string& text, long double& value);
    void operatorPriority(const std::string& op, int32_t& priority, uint16_t& style);
    TValue* findVariable(std::string_view upperName);
    const TValue* findVariable(std::string_view upperName) const;

    std::string m_equation;
    uint16_t m_errorCode = kErrSyntax;
    TEquationPol m_compiled;
    TEquationPol m_variables;
    std::vector<std::string> m_operators;
    std::vector<std::string> m_functions;
    TStringParser m_parser;

    TGetPriority m_onGetPriority;
    TComputeOperator m_onOperator;
    TComputeFunction m_onFunction;
    TConvertValueStr m_onConvertStr;
    TConvertValueVal m_onConvertVal;
    TSignJudgement m_onJudgeSigns;
};

// Converts a decimal number literal: an optional sign, digits with an optional decimal point, an
// optional exponent ("E", optional sign, digits); at least one mantissa digit; the whole text used.
// Hexadecimal floats, "inf" and "nan" are not numbers here, nor is a value too large to represent.
// Independent of the C locale.
bool parseDecimalLiteral(std::string_view text, long double& value);

} // namespace protocol
