#pragma once
// The "Действия" page of the protocol editor: the tree of the eleven action lists, the steps of the
// chosen list (each with its enabled check box) with add, remove, up and down, and the device error
// codes the chosen step ignores with add and remove. Every change goes straight to the description.

#include "app/message_sink.h"
#include "protocol/protocol_editor_model.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QListWidget;
class QMenu;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace app::ui::editor {

// One row of the action list tree, in display order.
struct ActionTreeRow {
    const char* text;
    int parent; // the group row it sits under, or −1 at the top
    int list;   // the action list it shows, or −1 for a group
};

inline constexpr std::array<ActionTreeRow, 14> kActionTreeRows = {{
    {"Идентификационная запись", -1, -1},
    {"Чтение", 0, 0},
    {"Запись", 0, 1},
    {"Чтение", -1, -1},
    {"Перед чтением", 3, 2},
    {"Чтение сектора", 3, 3},
    {"После чтения", 3, 4},
    {"Запись", -1, -1},
    {"Перед записью", 7, 5},
    {"Запись сектора", 7, 6},
    {"После записи", 7, 7},
    {"Стирание", -1, 8},
    {"Поиск устройства", -1, 9},
    {"Сброс", -1, 10},
}};

class ActionsPage : public QWidget {
    Q_OBJECT

  public:
    // `model` and `messages` are borrowed and must outlive the page.
    ActionsPage(protocol::ProtocolEditorModel& model, app::MessageSink& messages, QWidget* parent = nullptr);

    // After loading: selects the first tree row.
    void fill();
    // On showing the page: takes the error table from the grid, rebuilds the menus of commands and
    // error codes and shows the chosen list again.
    void enter();

    // Selects tree row `row` (0..13) as a click would.
    void selectRow(int row);
    // The action list shown, or −1 for a group row.
    int currentList() const { return m_list; }

    // The buttons' work, also for tests. Positions count from 0.
    void addStep(int command);
    void removeStep(); // asks first
    void moveStepUp();
    void moveStepDown();
    void addCode(int32_t code);
    void removeCode(); // asks first

    QTreeWidget* tree() const { return m_tree; }
    QListWidget* stepList() const { return m_steps; }
    QListWidget* codeList() const { return m_codes; }
    QToolButton* addStepButton() const { return m_addStep; }
    QToolButton* removeStepButton() const { return m_removeStep; }
    QToolButton* stepUpButton() const { return m_stepUp; }
    QToolButton* stepDownButton() const { return m_stepDown; }
    QToolButton* addCodeButton() const { return m_addCode; }
    QToolButton* removeCodeButton() const { return m_removeCode; }
    QMenu* commandMenu() const { return m_commandMenu; }
    QMenu* codeMenu() const { return m_codeMenu; }

  private:
    void showList(int list);
    void fillSteps(int select);
    void showStep(int step);
    void fillCodes(int select);
    void clearCodes();
    bool ask(const std::string& text);
    void tell(const std::string& text, app::MessageKind kind);

    protocol::ProtocolEditorModel& m_model;
    app::MessageSink& m_messages;
    QTreeWidget* m_tree;
    std::array<QTreeWidgetItem*, kActionTreeRows.size()> m_rows{};
    QListWidget* m_steps;
    QListWidget* m_codes;
    QToolButton* m_addStep;
    QToolButton* m_removeStep;
    QToolButton* m_stepUp;
    QToolButton* m_stepDown;
    QToolButton* m_addCode;
    QToolButton* m_removeCode;
    QMenu* m_commandMenu;
    QMenu* m_codeMenu;
    int m_list = -1;
    bool m_filling = false;
};

} // namespace app::ui::editor
