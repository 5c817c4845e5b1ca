#pragma once
// The expression evaluator as the program uses it: its operators, functions, tokenizer, number
// literals and the names of the protocol variables.
//
// Everything that compiles or runs templates (command templates, protocol checks, the protocol
// editor, velmora-cli eval) takes its evaluator from makeMainEvaluator(), so they all speak the
// same language.

#include "protocol/function_evaluator.h"
#include "protocol/string_parser.h"

#include <array>
#include <string_view>

namespace protocol {

// Operators in the order the program lists them.
inline constexpr std::array<std::string_view, 19> kMainOperators = {
    "(", ")", ",", "=", "<>", "!=", ">=", "<=", ">", "<", "+", "-", "*", "/", "<<", ">>", "!", "~", "%"};

// Functions FunctionEvaluator1Function computes.
inline constexpr std::array<std::string_view, 14> kMainFunctions = {"SIN",   "COS",   "EXP",   "LN",   "SQRT",
                                                                    "TRUNC", "ROUND", "IF",    "HIGH", "LOW",
                                                                    "BYTE0", "BYTE1", "BYTE2", "BYTE3"};

// Every protocol variable a template may use.
inline constexpr std::array<std::string_view, 18> kProtocolVariableNames = {
    "PAGE",     "ADDRESS",       "RECIPIENT", "SIZE",     "PAGESIZE",  "APP_START",
    "APP_END",  "APP_SIZE",      "APP_BSIZE", "APP_CRC",  "PACK_CRC",  "APP_HWID",
    "APP_SWID", "APP_CMPT_SIZE", "APP_AREA",  "SYS_AREA", "ERRORCODE", "ADDR"};

// The tokenizer of expressions: one group of letters, digits, "_", "$" and "." (names and number
// literals are single tokens) and the fixed combinations "<<", ">>", "**", "<=", ">=", "!=", "<>".
TStringParser makeEvaluatorParser();

// A new evaluator with the program's operators, functions, tokenizer, FunctionEvaluator1ConvertVal
// and FunctionEvaluator1Function; built-in priorities, operators and sign rules. No variables.
TFunctionEvaluator makeMainEvaluator();

// Declares every name of kProtocolVariableNames on the evaluator, so that checking a template never
// depends on which variables happen to exist. Names already present keep their values; new ones
// are 0. Validates afterwards.
void declareProtocolVariables(TFunctionEvaluator& evaluator);

// Number literals: first a decimal number (optional sign, digits, decimal point, exponent; see
// parseDecimalLiteral); otherwise an integer with an optional sign and a hexadecimal prefix "$",
// "x", "X", "0x" or "0X" (leading blanks allowed), whose value is its low 16 bits taken as unsigned
// ("0x12345" is 0x2345, "-$1" is 0xFFFF). Anything else leaves success false
// and the evaluator takes the text as a name.
void FunctionEvaluator1ConvertVal(TFunctionEvaluator& sender, const std::string& value, long double& result,
                                  bool& success);

// Computes HIGH, LOW, BYTE0..BYTE3, SIN, COS, EXP, SQRT, LN, TRUNC, ROUND and IF.
// A wrong argument count sets the evaluator's bit 32 or 64 (CheckArgCount) and leaves the result
// unset. errorCode 128 for an argument outside the function's domain (SQRT of a negative value, LN
// of 0 or less, an integer function of a value that is not finite or out of the 64-bit range) and
// for a result that is not finite. A name not in the table leaves the result unset, no error.
// Integer functions round the argument to the nearest integer, halves to even.
void FunctionEvaluator1Function(TFunctionEvaluator& sender, const std::string& name, TEquationPol& operands,
                                long double& result, uint16_t& errorCode);

} // namespace protocol
