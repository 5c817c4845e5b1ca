#pragma once
// The "Комманды" page of the protocol editor: the command list, the fields of the selected command
// (name, the three templates with their live check, the two times, the exception handling) and the
// add, delete and apply buttons. Edits reach the description only through "apply".

#include "app/message_sink.h"
#include "protocol/protocol_editor_model.h"

#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace app::ui {
class TMValueEdit;
}

namespace app::ui::editor {

class TemplateEdit;

class CommandsPage : public QWidget {
    Q_OBJECT

  public:
    // `model` and `messages` are borrowed and must outlive the page.
    CommandsPage(protocol::ProtocolEditorModel& model, app::MessageSink& messages, QWidget* parent = nullptr);

    // Fills the list from the description, selects nothing and empties the fields.
    void fill();

    // The buttons' work, also for tests.
    void addCommand();
    void deleteCommand(); // asks first
    void applyCommand();

    QListWidget* commandList() const { return m_list; }
    QLineEdit* nameField() const { return m_name; }
    QTabWidget* templateTabs() const { return m_tabs; }
    TemplateEdit* templateEdit(protocol::TemplateKind kind) const {
        return m_templates[static_cast<size_t>(kind)];
    }
    app::ui::TMValueEdit* answerTimeoutEdit() const { return m_answerTimeout; }
    app::ui::TMValueEdit* frameIntervalEdit() const { return m_frameInterval; }
    QComboBox* exceptionModeBox() const { return m_exceptionMode; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* deleteButton() const { return m_delete; }
    QPushButton* applyButton() const { return m_apply; }
    // The live check's verdict on the templates ("" when they are sound).
    QLabel* checkLabel() const { return m_checkLabel; }

  private:
    void showCommand(int index);
    void clearFields();
    void selectCommand(int index);
    void checkTemplate(protocol::TemplateKind kind);
    void showCheckVerdict();
    bool ask(const std::string& text);
    void warn(const std::string& text);

    protocol::ProtocolEditorModel& m_model;
    app::MessageSink& m_messages;
    QListWidget* m_list;
    QLineEdit* m_name;
    QTabWidget* m_tabs;
    std::array<TemplateEdit*, 3> m_templates;
    app::ui::TMValueEdit* m_answerTimeout;
    app::ui::TMValueEdit* m_frameInterval;
    QComboBox* m_exceptionMode;
    QPushButton* m_add;
    QPushButton* m_delete;
    QPushButton* m_apply;
    QLabel* m_checkLabel;
    bool m_filling = false;
};

} // namespace app::ui::editor
