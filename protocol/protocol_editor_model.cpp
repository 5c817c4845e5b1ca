#include "protocol/protocol_editor_model.h"

#include "base/codepage.h"
#include "base/text_utils.h"
#include "protocol/evaluator_setup.h"
#include "protocol/vpdf_format.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"

#include "protocol/command_template.h"

#include <algorithm>

namespace protocol {

namespace {

constexpr int64_t kMaxFileNumber = 65535;

bool emptyRow(const ErrorGridRow& r) {
    return r.code.empty() && r.text.empty();
}

// Why a text cannot go into the file as one short string, or empty when it can. `what` is the
// subject of the message ("Название комманды").
std::string shortStringFault(const std::string& text, const std::string& what) {
    const std::optional<std::string> bytes = base::utf8ToCp1251(text);
    if (!bytes)
        return what + " содержит символ, которого нет в кодовой странице 1251";
    if (bytes->size() > vpdf::kMaxShortString)
        return what + " длиннее 255 символов";
    return {};
}

std::string timeFault(int64_t value, const std::string& what) {
    if (value < 0 || value > kMaxFileNumber)
        return what + " должно быть от 0 до 65535";
    return {};
}

const char* templateSubject(TemplateKind kind) {
    switch (kind) {
    case TemplateKind::Command:
        return "комманды";
    case TemplateKind::Answer:
        return "ответа";
    case TemplateKind::Exceptn:
        return "исключения";
    }
    return "";
}

// The warning for a template check result; empty when the template is sound. Text after the last
// ";" is reported on the line below the last field, where the display form shows it.
std::string templateWarning(const protocol::CompiledTemplate& t, const char* subject) {
    int64_t line = t.checkResult;
    if (line == 0)
        return {};
    if (line < 0)
        line = static_cast<int64_t>(t.fields.size()) + 1;
    return std::string("Ошибка в описнии ") + subject + " (стр " + std::to_string(line) + ")";
}

protocol::CompiledTemplate compileTemplate(TFunctionEvaluator& evaluator, TemplateKind kind,
                                           const std::string& text) {
    const std::string stored = base::NormalizeTemplateText(text);
    return kind == TemplateKind::Command ? protocol::CompileCommand(evaluator, stored)
                                         : protocol::CompileAnswer(evaluator, stored);
}

// The line on which the text after the `separators`-th ";" begins: blanks and line breaks before it
// are skipped, as the stored form drops them. The last line when nothing follows.
int32_t lineOfField(const std::string& text, size_t separators) {
    size_t pos = 0;
    for (size_t seen = 0; seen < separators && pos < text.size(); ++pos)
        if (text[pos] == ';')
            ++seen;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\r' || text[pos] == '\n'))
        ++pos;
    if (pos == text.size() && pos > 0)
        --pos;
    return static_cast<int32_t>(
        std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
}

} // namespace

// --- ErrorTextGrid ---

void ErrorTextGrid::fill(const std::vector<TPrException>& exceptions) {
    m_rows.clear();
    for (const TPrException& e : exceptions)
        m_rows.push_back({std::to_string(e.Code), e.Text});
    m_rows.emplace_back();
}

int32_t ErrorTextGrid::editCell(int32_t row, int32_t column, const std::string& text) {
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size() || column < 0 || column > 1)
        return -1;
    size_t edited = static_cast<size_t>(row);
    (column == 0 ? m_rows[edited].code : m_rows[edited].text) = text;

    // Empty rows left behind earlier go; the edited row and the trailing row stay.
    std::vector<ErrorGridRow> kept;
    size_t newEdited = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const bool last = i + 1 == m_rows.size();
        if (i != edited && !last && emptyRow(m_rows[i]))
            continue;
        if (i == edited)
            newEdited = kept.size();
        kept.push_back(m_rows[i]);
    }
    m_rows = std::move(kept);
    edited = newEdited;

    // Typing into the last row opens a new empty one; a cleared row just above the empty last row
    // becomes the last row itself.
    if (!emptyRow(m_rows.back()))
        m_rows.emplace_back();
    else if (edited + 2 == m_rows.size() && emptyRow(m_rows[edited]))
        m_rows.pop_back();
    return static_cast<int32_t>(edited);
}

std::optional<std::vector<TPrException>> ErrorTextGrid::collect(std::string& error) const {
    std::vector<TPrException> out;
    for (const ErrorGridRow& r : m_rows) {
        if (r.code.empty() || r.text.empty())
            continue;
        const std::optional<uint32_t> code = base::parseCrcNumber(r.code);
        if (!code) {
            error = base::crcConversionErrorText(r.code);
            return std::nullopt;
        }
        if (*code > kMaxFileNumber) {
            error = "Код исключения " + r.code + " должен быть от 0 до 65535";
            return std::nullopt;
        }
        out.push_back(MakeException(static_cast<int32_t>(*code), r.text));
    }
    return out;
}

// --- ProtocolEditorModel ---

ProtocolEditorModel::ProtocolEditorModel() : m_evaluator(makeMainEvaluator()) {
    declareProtocolVariables(m_evaluator);
    reset();
}

void ProtocolEditorModel::reset() {
    m_path.clear();
    m_protocol = TProtocol();
    m_protocol.Commands.setEvaluator(&m_evaluator);
    // A new description frames with MODBUS RTU until the user picks other parameters.
    m_protocol.CRCGenerator.SetParameters(16, 0x8005, 0, true, true, 0xFFFF);
    // Eleven lists even when a file holds fewer, so every row of the tree has its list.
    PrepareActionLists(m_protocol);
    m_grid.fill(m_protocol.Exceptions);
}

int ProtocolEditorModel::LoadIntoEditor(const std::filesystem::path& path) {
    reset();
    const int result = ReadProtocolFile(m_protocol, path);
    if (result == kReadOk)
        m_path = path;
    m_grid.fill(m_protocol.Exceptions);
    return result;
}

// --- Commands ---

std::string ProtocolEditorModel::nextCommandName() const {
    for (int n = 1;; ++n) {
        const std::string name = "noname" + std::to_string(n);
        if (m_protocol.Commands.IndexOfName(name) < 0)
            return name;
    }
}

int32_t ProtocolEditorModel::addCommand() {
    const std::string name = nextCommandName();
    m_protocol.Commands.Add().Name = name;
    return static_cast<int32_t>(m_protocol.Commands.Count()) - 1;
}

bool ProtocolEditorModel::deleteCommand(int32_t index) {
    if (index < 0 || static_cast<size_t>(index) >= m_protocol.Commands.Count())
        return false;
    m_protocol.Commands.Delete(static_cast<size_t>(index));
    for (TVLMAction& a : m_protocol.ActionLists) {
        for (int32_t s = static_cast<int32_t>(a.StepCommands.size()) - 1; s >= 0; --s) {
            int32_t& command = a.StepCommands[static_cast<size_t>(s)];
            if (command == index) {
                if (!DeleteStep(a, s))
                    command = -1; // a list read with unequal step lists: the step stays but never runs
            } else if (command > index) {
                --command;
            }
        }
    }
    return true;
}

ApplyResult ProtocolEditorModel::applyCommand(int32_t index, const CommandFields& f) {
    ApplyResult r;
    if (index < 0 || static_cast<size_t>(index) >= m_protocol.Commands.Count()) {
        r.refusal = "Комманда не выбрана";
        return r;
    }
    const std::string upperName = base::UpperCaseText(f.name);
    for (size_t i = 0; i < m_protocol.Commands.Count(); ++i) {
        if (i != static_cast<size_t>(index) &&
            base::UpperCaseText(m_protocol.Commands[i].Name) == upperName) {
            r.refusal = "Комманда с таким именем уже существует";
            r.focus = CommandField::Name;
            return r;
        }
    }
    const struct {
        std::string fault;
        CommandField field;
    } checks[] = {
        {shortStringFault(f.name, "Название комманды"), CommandField::Name},
        {shortStringFault(base::NormalizeTemplateText(f.command), "Описание комманды"),
         CommandField::Command},
        {shortStringFault(base::NormalizeTemplateText(f.answer), "Описание ответа"), CommandField::Answer},
        {shortStringFault(base::NormalizeTemplateText(f.exceptn), "Описание исключения"),
         CommandField::Exceptn},
        {timeFault(f.answerTimeout, "Время ожидания ответа"), CommandField::AnswerTimeout},
        {timeFault(f.frameInterval, "Время между посылками"), CommandField::FrameInterval},
    };
    for (const auto& c : checks) {
        if (!c.fault.empty()) {
            r.refusal = c.fault;
            r.focus = c.field;
            return r;
        }
    }

    protocol::TprCOMMANDS& commands = m_protocol.Commands;
    protocol::TprCOMMAND& command = commands[static_cast<size_t>(index)];
    command.Name = f.name;
    commands.setCommand(command, f.command);
    if (std::string w = templateWarning(command.compiledCommand(), templateSubject(TemplateKind::Command));
        !w.empty())
        r.warnings.push_back(std::move(w));
    commands.setAnswer(command, f.answer);
    if (std::string w = templateWarning(command.compiledAnswer(), templateSubject(TemplateKind::Answer));
        !w.empty())
        r.warnings.push_back(std::move(w));
    commands.setExceptn(command, f.exceptn);
    if (std::string w = templateWarning(command.compiledExceptn(), templateSubject(TemplateKind::Exceptn));
        !w.empty())
        r.warnings.push_back(std::move(w));
    command.AnswerTimeout = static_cast<int32_t>(f.answerTimeout);
    command.FrameInterval = static_cast<int32_t>(f.frameInterval);
    if (f.exceptionMode >= 0)
        command.ExceptionMode = static_cast<uint16_t>(f.exceptionMode);
    r.applied = true;
    return r;
}

int32_t ProtocolEditorModel::checkTemplate(TemplateKind kind, const std::string& text) {
    return compileTemplate(m_evaluator, kind, text).checkResult;
}

std::vector<TemplateFault> ProtocolEditorModel::templateFaults(TemplateKind kind, const std::string& text) {
    const protocol::CompiledTemplate t = compileTemplate(m_evaluator, kind, text);
    std::vector<TemplateFault> faults;
    auto add = [&](size_t separators, int32_t field) {
        const int32_t line = lineOfField(text, separators);
        faults.push_back({line, field,
                          std::string("Ошибка в описнии ") + templateSubject(kind) + " (стр " +
                              std::to_string(line + 1) + ")"});
    };
    for (size_t i = 0; i < t.fields.size(); ++i)
        if (t.fields[i].faulty)
            add(i, static_cast<int32_t>(i) + 1);
    if (kind == TemplateKind::Command && t.trailingText)
        add(t.fields.size(), 0);
    return faults;
}

// --- Steps ---

TVLMAction* ProtocolEditorModel::actionList(int32_t list) {
    if (list < 0 || static_cast<size_t>(list) >= m_protocol.ActionLists.size())
        return nullptr;
    return &m_protocol.ActionLists[static_cast<size_t>(list)];
}

bool ProtocolEditorModel::validStep(int32_t list, int32_t step) const {
    if (list < 0 || static_cast<size_t>(list) >= m_protocol.ActionLists.size())
        return false;
    const TVLMAction& a = m_protocol.ActionLists[static_cast<size_t>(list)];
    const size_t s = static_cast<size_t>(step);
    return step >= 0 && step < a.StepCount && s < a.StepCommands.size() && s < a.StepIgnoreLists.size() &&
           s < a.StepEnabled.size();
}

bool ProtocolEditorModel::dropStepsWithoutCommand(int32_t list) {
    TVLMAction* a = actionList(list);
    if (!a)
        return false;
    const int64_t count = static_cast<int64_t>(m_protocol.Commands.Count());
    for (int32_t s = static_cast<int32_t>(a->StepCommands.size()) - 1; s >= 0; --s) {
        const int32_t command = a->StepCommands[static_cast<size_t>(s)];
        if (command < 0 || command >= count)
            DeleteStep(*a, s);
    }
    return true;
}

EditResult ProtocolEditorModel::addStep(int32_t list, int32_t command) {
    TVLMAction* a = actionList(list);
    if (!a)
        return {false, "Список действий не выбран"};
    if (command < 0 || static_cast<size_t>(command) >= m_protocol.Commands.Count())
        return {false, "Комманда не найдена"};
    if (a->StepCount >= kMaxSteps)
        return {false, "В списке действий не может быть больше 255 комманд"};
    if (AddStep(*a, command, true) < 0)
        return {false, "Список действий испорчен"};
    return {true, {}};
}

bool ProtocolEditorModel::removeStep(int32_t list, int32_t step) {
    if (!validStep(list, step))
        return false;
    detachStepFromIgnoreList(list, step);
    return DeleteStep(*actionList(list), step);
}

bool ProtocolEditorModel::moveStepUp(int32_t list, int32_t step) {
    return validStep(list, step) && step > 0 && MoveStep(*actionList(list), step - 1, step);
}

bool ProtocolEditorModel::moveStepDown(int32_t list, int32_t step) {
    return validStep(list, step + 1) && step >= 0 && MoveStep(*actionList(list), step + 1, step);
}

bool ProtocolEditorModel::setStepEnabled(int32_t list, int32_t step, bool enabled) {
    if (!validStep(list, step))
        return false;
    actionList(list)->StepEnabled[static_cast<size_t>(step)] = enabled ? 1 : 0;
    return true;
}

// --- Ignore lists ---

int32_t ProtocolEditorModel::stepIgnoreIndex(int32_t list, int32_t step) const {
    if (!validStep(list, step))
        return -1;
    const int32_t index =
        m_protocol.ActionLists[static_cast<size_t>(list)].StepIgnoreLists[static_cast<size_t>(step)];
    return index >= 0 && static_cast<size_t>(index) < m_protocol.IgnoreLists.size() ? index : -1;
}

int32_t ProtocolEditorModel::ignoreListUsers(int32_t index) const {
    int32_t users = 0;
    for (const TVLMAction& a : m_protocol.ActionLists)
        users += static_cast<int32_t>(std::count(a.StepIgnoreLists.begin(), a.StepIgnoreLists.end(), index));
    return users;
}

void ProtocolEditorModel::deleteIgnoreListAndRenumber(int32_t index) {
    DeleteIgnoreList(m_protocol, index);
    for (TVLMAction& a : m_protocol.ActionLists)
        for (int32_t& i : a.StepIgnoreLists)
            if (i > index && static_cast<size_t>(i) <= m_protocol.IgnoreLists.size())
                --i;
}

// A list another step still uses must stay, or that step would lose its codes and every later list
// would shift under the steps that use them.
void ProtocolEditorModel::detachStepFromIgnoreList(int32_t list, int32_t step) {
    const int32_t index = stepIgnoreIndex(list, step);
    if (index < 0)
        return;
    actionList(list)->StepIgnoreLists[static_cast<size_t>(step)] = -1;
    if (ignoreListUsers(index) == 0)
        deleteIgnoreListAndRenumber(index);
}

std::vector<std::string> ProtocolEditorModel::stepIgnoreCodes(int32_t list, int32_t step) const {
    std::vector<std::string> shown;
    const int32_t index = stepIgnoreIndex(list, step);
    if (index < 0)
        return shown;
    // Every code is kept, with or without an error text: dropping one would make a device error that
    // used to be ignored abort operations after the next save.
    for (int32_t code : m_protocol.IgnoreLists[static_cast<size_t>(index)].Codes) {
        const int32_t entry = FindException(m_protocol.Exceptions, code);
        std::string line = "<" + std::to_string(code) + ">";
        if (entry >= 0)
            line += " " + m_protocol.Exceptions[static_cast<size_t>(entry)].Text;
        shown.push_back(std::move(line));
    }
    return shown;
}

EditResult ProtocolEditorModel::addIgnoreCode(int32_t list, int32_t step, int32_t code) {
    if (!validStep(list, step))
        return {false, "Комманда не выбрана"};
    if (code < 0 || code > kMaxFileNumber)
        return {false, "Код исключения должен быть от 0 до 65535"};
    int32_t index = stepIgnoreIndex(list, step);
    if (index < 0) {
        if (m_protocol.IgnoreLists.size() >= static_cast<size_t>(kMaxFileNumber))
            return {false, "Слишком много списков игнорируемых исключений"};
        index = AddIgnoreList(m_protocol);
        actionList(list)->StepIgnoreLists[static_cast<size_t>(step)] = index;
    }
    if (m_protocol.IgnoreLists[static_cast<size_t>(index)].Codes.size() >= vpdf::kMaxShortString)
        return {false, "В списке не может быть больше 255 кодов"};
    AddIgnoreCode(m_protocol, index, code);
    return {true, {}};
}

bool ProtocolEditorModel::removeIgnoreCode(int32_t list, int32_t step, int32_t position) {
    const int32_t index = stepIgnoreIndex(list, step);
    if (index < 0)
        return false;
    const int32_t left = DeleteIgnoreCode(m_protocol, index, position);
    if (left < 0)
        return false;
    if (left == 0)
        detachStepFromIgnoreList(list, step);
    return true;
}

bool ProtocolEditorModel::collectErrorTable(std::string& error) {
    std::optional<std::vector<TPrException>> table = m_grid.collect(error);
    if (!table)
        return false;
    m_protocol.Exceptions = std::move(*table);
    return true;
}

// --- Saving ---

EditResult ProtocolEditorModel::save(const base::CrcPanelValues& crc) {
    if (!canSave())
        return {false, "Новое описание протокола можно сохранить только командой \"Сохранить как...\""};
    return saveAs(m_path, crc);
}

EditResult ProtocolEditorModel::saveAs(const std::filesystem::path& path, const base::CrcPanelValues& crc) {
    // Everything is prepared on a copy, so a refused or failed save leaves the editor as it was.
    TProtocol out = m_protocol;
    std::string error;
    const std::optional<base::CrcParameters> params = base::crcParametersFromPanel(crc, &error);
    if (!params)
        return {false, error};
    base::applyCrcParameters(out.CRCGenerator, *params);
    std::optional<std::vector<TPrException>> table = m_grid.collect(error);
    if (!table)
        return {false, error};
    out.Exceptions = std::move(*table);
    if (!WriteProtocolFile(out, path, error))
        return {false, "Не удалось сохранить файл описания протокола: " + path.string() + "\r" + error};
    m_protocol = out;
    m_path = path;
    return {true, {}};
}

} // namespace protocol
