#include "cli/template_faults.h"

#include "protocol/function_evaluator.h"

namespace cli {

namespace {

std::string causeOf(const protocol::CompiledField& field) {
    switch (field.kind) {
    case protocol::FieldKind::BadForm:
        return "a DATABLOCK or BYTES form with wrong arguments";
    case protocol::FieldKind::BadBracketed:
        return "a bracketed field that is neither a capture nor an OMITTED or DATABLOCK form";
    default:
        break;
    }
    std::string causes;
    for (const protocol::TEquationPol& program : field.programs)
        if (program.CompileErrorCode != 0)
            causes += (causes.empty() ? "" : "; ") + protocol::EvaluatorErrorTexts(program.CompileErrorCode);
    return causes.empty() ? "an empty argument" : causes;
}

} // namespace

std::vector<std::string> templateFaults(const protocol::CompiledTemplate& compiled) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < compiled.fields.size(); ++i) {
        const protocol::CompiledField& field = compiled.fields[i];
        if (field.faulty)
            lines.push_back("field " + std::to_string(i + 1) + " '" + field.text + "': " + causeOf(field));
    }
    if (compiled.trailingText)
        lines.push_back("text after the last \";\"");
    return lines;
}

} // namespace cli
