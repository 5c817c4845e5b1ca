#include "protocol/command_template.h"

#include "protocol/evaluator_setup.h"
#include "protocol/number_conversion.h"

namespace protocol {
namespace {

struct KeywordForm {
    std::string_view text;
    FieldKind kind;
};

// Bracketed answer fields that capture one byte.
constexpr KeywordForm kCaptures[] = {
    {"RECIPIENT", FieldKind::CaptureRecipient},
    {"SIZE", FieldKind::CaptureSize},
    {"HIGH(SIZE)", FieldKind::CaptureSizeHigh},
    {"LOW(SIZE)", FieldKind::CaptureSizeLow},
    {"ADDR", FieldKind::CaptureAddr},
    {"LOW(ADDR)", FieldKind::CaptureAddrByte0},
    {"BYTE0(ADDR)", FieldKind::CaptureAddrByte0},
    {"HIGH(ADDR)", FieldKind::CaptureAddrByte1},
    {"BYTE1(ADDR)", FieldKind::CaptureAddrByte1},
    {"BYTE2(ADDR)", FieldKind::CaptureAddrByte2},
    {"BYTE3(ADDR)", FieldKind::CaptureAddrByte3},
    {"ERRORCODE", FieldKind::CaptureErrorCode},
};

// Splits the stored template at ";". The piece after the last ";" is not a field.
std::vector<std::string> splitFields(std::string_view text, bool& trailing) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ';') {
            fields.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    trailing = start < text.size();
    return fields;
}

// Compiles one expression; true when it compiles without any error bit.
bool compileInto(TFunctionEvaluator& ev, std::string_view text, CompiledField& field) {
    ev.setEquation(text);
    field.programs.push_back(ev.Compiled());
    return ev.ErrorCode() == 0;
}

// Recognises a keyword form: count −1 when the text is not one.
int splitKeyword(std::string_view text, std::string_view keyword, TFunctionEvaluator::CallArgs& args) {
    int count = -1;
    TFunctionEvaluator::SplitCall(text, keyword, args, count);
    return count;
}

bool anyEmpty(const TFunctionEvaluator::CallArgs& args, int count) {
    for (int i = 0; i < count && i < static_cast<int>(args.size()); ++i)
        if (args[static_cast<size_t>(i)].empty())
            return true;
    return false;
}

// The DATABLOCK and BYTES forms shared by commands and answers. Returns false when the text is
// neither form.
// A keyword form with an argument list: records its kind and count, refuses a count the form does
// not allow or an empty argument, and compiles each argument. False when the field is not this form.
bool compileKeywordForm(TFunctionEvaluator& ev, CompiledField& field, std::string_view keyword,
                        FieldKind kind, int minArgs, int maxArgs) {
    TFunctionEvaluator::CallArgs args;
    const int count = splitKeyword(field.text, keyword, args);
    if (count < 0)
        return false;
    field.kind = kind;
    field.argCount = count;
    if (count < minArgs || count > maxArgs || anyEmpty(args, count)) {
        field.kind = FieldKind::BadForm;
        field.faulty = true;
        return true;
    }
    for (int i = 0; i < count; ++i)
        if (!compileInto(ev, args[static_cast<size_t>(i)], field))
            field.faulty = true;
    return true;
}

bool compileBlockForms(TFunctionEvaluator& ev, CompiledField& field) {
    return compileKeywordForm(ev, field, "DATABLOCK", FieldKind::DataBlock, 0, 2) ||
           compileKeywordForm(ev, field, "BYTES", FieldKind::Bytes, 2, 2);
}

bool containsPackCrc(std::string_view text) {
    return text.find("PACK_CRC") != std::string_view::npos;
}

CompiledField compileCommandField(TFunctionEvaluator& ev, std::string text) {
    CompiledField field;
    field.text = std::move(text);
    if (field.text == "PASSWORD") {
        field.kind = FieldKind::Password;
    } else if (field.text == "APP_CMPT") {
        field.kind = FieldKind::AppCmpt;
    } else if (field.text == "APP_VER") {
        field.kind = FieldKind::AppVer;
    } else if (!compileBlockForms(ev, field)) {
        field.kind = containsPackCrc(field.text) ? FieldKind::PackCrcExpression : FieldKind::Expression;
        field.faulty = !compileInto(ev, field.text, field);
    }
    return field;
}

CompiledField compileAnswerField(TFunctionEvaluator& ev, std::string text) {
    CompiledField field;
    const bool bracketed = text.size() >= 2 && text.front() == '<' && text.back() == '>';
    field.text = bracketed ? text.substr(1, text.size() - 2) : std::move(text);
    if (bracketed) {
        for (const auto& capture : kCaptures) {
            if (field.text == capture.text) {
                field.kind = capture.kind;
                return field;
            }
        }
        TFunctionEvaluator::CallArgs args;
        int count = splitKeyword(field.text, "OMITTED", args);
        if (count >= 0) {
            // Only the one-argument form has an argument to compile; other counts pass the check
            // and, except for no argument, never match.
            field.kind = FieldKind::Omitted;
            if (count == 1 && !compileInto(ev, args[0], field))
                field.faulty = true;
            field.argCount = count;
            return field;
        }
        if (compileKeywordForm(ev, field, "DATABLOCK", FieldKind::StoreDataBlock, 0, 2))
            return field;
        field.kind = FieldKind::BadBracketed;
        field.faulty = true;
        return field;
    }
    if (field.text == "LOW(PACK_CRC)") {
        field.kind = FieldKind::CrcLow;
    } else if (field.text == "HIGH(PACK_CRC)") {
        field.kind = FieldKind::CrcHigh;
    } else if (!compileBlockForms(ev, field)) {
        if (containsPackCrc(field.text)) {
            field.kind = FieldKind::PackCrcExpression;
        } else {
            field.kind = FieldKind::Expression;
            field.faulty = !compileInto(ev, field.text, field);
        }
    }
    return field;
}

template <typename CompileField>
CompiledTemplate compileTemplate(TFunctionEvaluator& ev, std::string_view storedText,
                                 CompileField compileField) {
    // Checks must not depend on which variables the caller happened to set.
    declareProtocolVariables(ev);
    CompiledTemplate t;
    t.text = std::string(storedText);
    for (std::string& text : splitFields(storedText, t.trailingText)) {
        t.fields.push_back(compileField(ev, std::move(text)));
        if (t.fields.back().faulty)
            t.checkResult = static_cast<int32_t>(t.fields.size());
    }
    return t;
}

} // namespace

CompiledTemplate CompileCommand(TFunctionEvaluator& ev, std::string_view storedText) {
    CompiledTemplate t = compileTemplate(ev, storedText, compileCommandField);
    if (t.trailingText)
        t.checkResult = -1;
    return t;
}

CompiledTemplate CompileAnswer(TFunctionEvaluator& ev, std::string_view storedText) {
    return compileTemplate(ev, storedText, compileAnswerField);
}

uint16_t registerValue16(long double value) {
    int64_t whole = 0;
    return roundToInt64(value, whole) ? low16(whole) : 0;
}

std::optional<int64_t> evaluateRounded(TFunctionEvaluator& ev, const TEquationPol& program) {
    ev.setCompiled(program);
    const long double value = ev.Evaluate();
    int64_t whole = 0;
    if (ev.ErrorCode() != 0 || !roundToInt64(value, whole))
        return std::nullopt;
    return whole;
}

} // namespace protocol
