#include "protocol/protocol_command.h"

#include "base/text_utils.h"

namespace protocol {

std::string TprCOMMAND::Command() const {
    return base::BreakAfterSemicolons(m_command.text);
}
std::string TprCOMMAND::Answer() const {
    return base::BreakAfterSemicolons(m_answer.text);
}
std::string TprCOMMAND::Exceptn() const {
    return base::BreakAfterSemicolons(m_exceptn.text);
}

TprCOMMAND& TprCOMMANDS::Add() {
    return m_items.emplace_back();
}

void TprCOMMANDS::Delete(size_t index) {
    if (index < m_items.size())
        m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
}

const TprCOMMAND* TprCOMMANDS::FindByName(std::string_view name) const {
    const int32_t index = IndexOfName(name);
    return index < 0 ? nullptr : &m_items[static_cast<size_t>(index)];
}

int32_t TprCOMMANDS::IndexOfName(std::string_view name) const {
    const std::string wanted = base::UpperCaseText(name);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (base::UpperCaseText(m_items[i].Name) == wanted)
            return static_cast<int32_t>(i);
    return -1;
}

void TprCOMMANDS::assign(TprCOMMAND& command, CompiledTemplate TprCOMMAND::*slot, std::string_view text,
                         bool isCommand) {
    const std::string stored = base::NormalizeTemplateText(text);
    CompiledTemplate& t = command.*slot;
    if (m_evaluator) {
        t = isCommand ? CompileCommand(*m_evaluator, stored) : CompileAnswer(*m_evaluator, stored);
    } else {
        t = CompiledTemplate{};
        t.text = stored;
    }
    command.m_lastCheck = t.checkResult;
}

void TprCOMMANDS::setCommand(TprCOMMAND& command, std::string_view text) {
    assign(command, &TprCOMMAND::m_command, text, true);
}

void TprCOMMANDS::setAnswer(TprCOMMAND& command, std::string_view text) {
    assign(command, &TprCOMMAND::m_answer, text, false);
}

void TprCOMMANDS::setExceptn(TprCOMMAND& command, std::string_view text) {
    assign(command, &TprCOMMAND::m_exceptn, text, false);
}

void TprCOMMANDS::setEvaluator(TFunctionEvaluator* evaluator) {
    m_evaluator = evaluator;
    for (TprCOMMAND& c : m_items) {
        // Recompile from the stored forms; the last check result ends as the exception check, as
        // when the three templates are assigned in order.
        const std::string command = c.m_command.text;
        const std::string answer = c.m_answer.text;
        const std::string exceptn = c.m_exceptn.text;
        setCommand(c, command);
        setAnswer(c, answer);
        setExceptn(c, exceptn);
    }
}

} // namespace protocol
