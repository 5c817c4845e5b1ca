#pragma once
// Command templates compiled once: the fields of a template (each ended by ";"), what each field is
// (a keyword form, a capture or an expression) and the compiled programs of its expression or
// arguments, ready for BuildFrame and MatchAnswer.

#include "protocol/function_evaluator.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {

enum class FieldKind : uint8_t {
    Expression,        // one byte: the value
    PackCrcExpression, // text contains PACK_CRC: command: one byte outside the CRC; answer: taken unchecked
    Password,          // command: the password bytes
    AppCmpt,           // command: count byte, then each compatibility entry low byte first
    AppVer,            // command: the 64 version bytes at every second position of 128
    DataBlock,         // command: source bytes; answer: verified against the destination
    Bytes,             // n copies of a byte value
    CrcLow,            // answer: LOW(PACK_CRC)
    CrcHigh,           // answer: HIGH(PACK_CRC)
    CaptureRecipient,  // answer captures, bracketed
    CaptureSize,
    CaptureSizeHigh,
    CaptureSizeLow,
    CaptureAddr,
    CaptureAddrByte0,
    CaptureAddrByte1,
    CaptureAddrByte2,
    CaptureAddrByte3,
    CaptureErrorCode,
    Omitted,        // answer: skipped bytes, bracketed
    StoreDataBlock, // answer: bytes stored into the destination, bracketed
    BadBracketed,   // answer: any other bracketed field; never matches
    BadForm,        // a DATABLOCK or BYTES form with wrong arguments
};

struct CompiledField {
    std::string text; // the field as stored, without capture brackets
    FieldKind kind = FieldKind::Expression;
    std::vector<TEquationPol> programs; // the expression, or the keyword's arguments
    int argCount = 0;                   // arguments of a keyword form
    bool faulty = false;                // the check found a fault in this field
};

struct CompiledTemplate {
    std::string text;                  // stored form
    std::vector<CompiledField> fields; // fields before the last ";"
    bool trailingText = false;         // text follows the last ";"
    int32_t checkResult = 0;           // 0, the number of the last faulty field (from 1), or −1
};

// Compiles a command template given in stored form. checkResult: 0 when every field compiles,
// otherwise the number of the last faulty field, or −1 when text follows the last ";" (the fields
// before it are still compiled and built). Faults: a DATABLOCK form with an empty argument or more
// than two arguments; a BYTES form without exactly two non-empty arguments; an expression or an
// argument that does not compile.
CompiledTemplate CompileCommand(TFunctionEvaluator& evaluator, std::string_view storedText);

// Compiles an answer or exception template given in stored form. checkResult: 0, or the number of
// the last faulty field. Faults: a bracketed field that is neither a capture nor an OMITTED or
// DATABLOCK form; a BYTES form without exactly two non-empty arguments; an empty DATABLOCK
// argument; an argument or expression that does not compile.
CompiledTemplate CompileAnswer(TFunctionEvaluator& evaluator, std::string_view storedText);

// Runs a compiled program and rounds its value to the nearest integer, halves to even. Empty when
// the evaluator reports an error or the value is not a finite number inside the 64-bit range.
std::optional<int64_t> evaluateRounded(TFunctionEvaluator& evaluator, const TEquationPol& program);

// A variable's value as a 16-bit unsigned register (SIZE as a default block length): rounded to
// the nearest integer, low 16 bits. A value that is not finite or lies outside the 64-bit range
// gives 0.
uint16_t registerValue16(long double value);

} // namespace protocol
