#pragma once
// ProtocolEditorModel: the editing rules of the protocol editor without any window. It owns the
// edited copy of a description, the current file path, its own expression evaluator (every protocol
// variable name declared, so checks never touch the main window's evaluator) and the device error
// text grid. The window shows what this model holds and turns its messages into message boxes.
//
// All texts in and out are UTF-8. Messages are Russian, ready to show. Positions count from 0.

#include "base/crc_presets.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace protocol {

// The most steps one action list can hold in a file.
inline constexpr int32_t kMaxSteps = 255;

// What the command page fields hold when "apply" is pressed.
struct CommandFields {
    std::string name;
    std::string command; // display or stored form; blanks and line breaks are dropped
    std::string answer;
    std::string exceptn;
    int64_t answerTimeout = 0; // as typed; the file holds 0..65535
    int64_t frameInterval = 0;
    int exceptionMode = -1; // 0 abort, 1 repeat, 2 ignore; -1 keeps the stored value (any 16-bit number)
};

// Which field a refusal concerns, so the window can focus it.
enum class CommandField { None, Name, Command, Answer, Exceptn, AnswerTimeout, FrameInterval };

struct ApplyResult {
    bool applied = false;
    std::string refusal; // why nothing was applied (empty when applied)
    CommandField focus = CommandField::None;
    std::vector<std::string> warnings; // template check warnings; the templates are kept as entered
};

enum class TemplateKind { Command, Answer, Exceptn };

// A fault of the live template check, placed in the text as typed.
struct TemplateFault {
    int32_t line = 0;    // line of the typed text where the field starts, from 0
    int32_t field = 0;   // the faulty field, from 1; 0 for text after the last ";" of a command
    std::string message; // "Ошибка в описнии ... (стр n)" with the line n counted from 1
    bool operator==(const TemplateFault&) const = default;
};

// A result that is either fine or refused with a message.
struct EditResult {
    bool ok = false;
    std::string message;
};

// One row of the device error text grid: the code and the text as typed.
struct ErrorGridRow {
    std::string code;
    std::string text;
    bool operator==(const ErrorGridRow&) const = default;
};

// The two-column grid of device error texts. It always ends with one empty row; fully empty rows
// other than the edited one and the trailing one disappear when a cell is edited.
class ErrorTextGrid {
  public:
    ErrorTextGrid() { m_rows.emplace_back(); }

    // One row per entry, then the empty row.
    void fill(const std::vector<TPrException>& exceptions);
    const std::vector<ErrorGridRow>& rows() const { return m_rows; }

    // Sets a cell (column 0 code, 1 text) and applies the row rules. Returns the edited row's new
    // position. A row or column out of range changes nothing and returns −1.
    int32_t editCell(int32_t row, int32_t column, const std::string& text);

    // The error table: one entry per row whose two cells are both non-empty, in order. Rows with
    // one empty cell are dropped. Empty with `error` set when a code is not an integer or lies
    // outside 0..65535.
    std::optional<std::vector<TPrException>> collect(std::string& error) const;

  private:
    std::vector<ErrorGridRow> m_rows;
};

class ProtocolEditorModel {
  public:
    // A new, empty description (eleven empty action lists, MODBUS frame CRC), no path.
    ProtocolEditorModel();
    ProtocolEditorModel(const ProtocolEditorModel&) = delete; // commands point at m_evaluator
    ProtocolEditorModel& operator=(const ProtocolEditorModel&) = delete;

    // Empties the path and the description, then reads `path`: 0 read (the path becomes current),
    // −1 damaged (the description stays empty), −2 missing (a new description with lists "0".."10"),
    // −3 unreadable (the description stays empty: the path names a file that exists).
    int LoadIntoEditor(const std::filesystem::path& path);

    const TProtocol& description() const { return m_protocol; }
    const std::filesystem::path& currentPath() const { return m_path; }
    // "Save" works only for a description read from or saved to a file.
    bool canSave() const { return !m_path.empty(); }

    void setComment(const std::string& comment) { m_protocol.Comment = comment; }

    // --- Commands ---
    // "noname" and the smallest n >= 1 no command is named (letter case ignored).
    std::string nextCommandName() const;
    // Appends a command with that name and empty templates; its index.
    int32_t addCommand();
    // Removes the command; steps that used it are removed, later indices are lowered by one.
    // Returns false for an index out of range.
    bool deleteCommand(int32_t index);
    // Applies the fields to command `index`. Refused, changing nothing: an index out of range, a name
    // another command has (letter case ignored), a name or template over 255 code page 1251 bytes
    // or with a character code page 1251 lacks, a time outside 0..65535. Otherwise every field is
    // stored and each template whose check fails gives a warning naming its line.
    ApplyResult applyCommand(int32_t index, const CommandFields& fields);
    // The live check of a template being typed: 0 when fine, the faulty line (from 1), or −1 when
    // text follows the last ";" of a command template. Uses only this model's evaluator.
    int32_t checkTemplate(TemplateKind kind, const std::string& text);
    // The same check, every fault placed on the line of `text` (lines end at "\n") where its field
    // starts, since a user may type several fields on one line or leave blank lines. Empty when the
    // template is sound.
    std::vector<TemplateFault> templateFaults(TemplateKind kind, const std::string& text);

    // --- Action list steps (list index 0..10) ---
    // Removes the list's steps whose command does not exist; false for a list out of range.
    bool dropStepsWithoutCommand(int32_t list);
    // Appends an enabled step without ignore list. Refused for a missing list or command, or when
    // the list already holds kMaxSteps steps.
    EditResult addStep(int32_t list, int32_t command);
    // Removes the step. Its ignore list goes with it only when no other step uses that list (later
    // list indices are then lowered by one); a shared list stays for the other steps.
    bool removeStep(int32_t list, int32_t step);
    bool moveStepUp(int32_t list, int32_t step);   // the step moves to step − 1
    bool moveStepDown(int32_t list, int32_t step); // the step moves to step + 1
    bool setStepEnabled(int32_t list, int32_t step, bool enabled);

    // --- Ignore lists ---
    // The codes of the step's ignore list, each shown as "<code> text", or "<code>" for a code without
    // an entry in the error table. Empty for a step without (valid) list.
    std::vector<std::string> stepIgnoreCodes(int32_t list, int32_t step) const;
    // Appends a code; a step without a valid ignore list (−1, 65535, ...) first gets a new one.
    // Refused for a missing step or a code outside 0..65535.
    EditResult addIgnoreCode(int32_t list, int32_t step, int32_t code);
    // Removes the code at `position`. When the list becomes empty this step is detached, and the
    // list itself is deleted only when no other step uses it.
    bool removeIgnoreCode(int32_t list, int32_t step, int32_t position);

    // --- Device error texts ---
    ErrorTextGrid& errorGrid() { return m_grid; }
    const ErrorTextGrid& errorGrid() const { return m_grid; }
    // The error table as the grid holds it now, stored into the description (done when the action
    // page is shown). False with `error` when a code does not convert; nothing changes then.
    bool collectErrorTable(std::string& error);

    // --- Saving ---
    // Takes the CRC panel, the grid and the comment and writes the current file. Refused for a new
    // description (no path). On any failure (a CRC field or code that does not convert, a
    // description the file cannot hold, a write error) the message names the cause, the path when
    // writing failed, and the model is left exactly as it was.
    EditResult save(const base::CrcPanelValues& crc);
    // The same to `path`, which becomes the current path only when writing succeeded.
    EditResult saveAs(const std::filesystem::path& path, const base::CrcPanelValues& crc);

  private:
    void reset();
    TVLMAction* actionList(int32_t list);
    bool validStep(int32_t list, int32_t step) const;
    int32_t stepIgnoreIndex(int32_t list, int32_t step) const; // −1 when none
    int32_t ignoreListUsers(int32_t index) const;
    void deleteIgnoreListAndRenumber(int32_t index);
    void detachStepFromIgnoreList(int32_t list, int32_t step);

    TFunctionEvaluator m_evaluator;
    TProtocol m_protocol;
    std::filesystem::path m_path;
    ErrorTextGrid m_grid;
};

} // namespace protocol
