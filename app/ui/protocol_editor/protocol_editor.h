#pragma once
// ProtocolEditor: the modal window in which a protocol description is written and changed. Its five
// pages ("Общие", "Комманды", "Действия", "CRC фрейма", "Исключения") work on the editor's own copy
// of the description (ProtocolEditorModel); nothing reaches the running program until the file is
// saved and the main window reloads it.

#include "app/message_sink.h"
#include "protocol/protocol_editor_model.h"

#include <QDialog>

#include <array>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace app::ui {
class CrcPanel;
}

namespace app::ui::editor {

class ActionsPage;
class CommandsPage;
class ErrorTextPage;

class ProtocolEditor : public QDialog {
    Q_OBJECT

  public:
    enum Page { General, Commands, Actions, Crc, Exceptions };

    // Asks where "Сохранить как..." writes; an empty path cancels (default: a save dialog for
    // "*.vpdf" files).
    using PathChooser = std::function<QString()>;

    // An editor holding a new, empty description. Messages and questions go to `messages`, which
    // must outlive the editor.
    explicit ProtocolEditor(app::MessageSink& messages, QWidget* parent = nullptr);
    ~ProtocolEditor() override;

    // Reads `path` into the editor and shows it on every page: 0 read, −1 damaged (the description
    // is left empty), −2 missing (a new description; only "Сохранить как..." can save it), −3
    // unreadable (exists but cannot be read; the description is left empty and cannot be saved).
    int LoadIntoEditor(const QString& path);

    // Opens the description at `path` for editing, modally. A damaged file is reported with
    // "Испорчен файл описания протокола", an unreadable one with "Не могу прочитать файл описания
    // протокола: " and the path, and −1 returned without showing the window (a new description
    // saved over a file that merely could not be read would replace it); otherwise the
    // window's result: QDialog::Accepted after "Сохранить", QDialog::Rejected after "Отмена" or
    // closing (a file saved with "Сохранить как..." stays saved).
    static int editFile(const QString& path, app::MessageSink& messages, QWidget* parent = nullptr);

    // "Сохранить": writes the current file and closes. Refused with a message for a new description;
    // on a failure the message names the cause and the path, and the window stays open.
    bool save();
    // "Сохранить как...": asks for a path and writes there; the path becomes current and
    // "Сохранить" is enabled. The window stays open. False when cancelled or on a failure (shown).
    bool saveAs();

    void showPage(Page page);
    Page currentPage() const;

    void setPathChooser(PathChooser chooser) { m_choosePath = std::move(chooser); }

    const protocol::ProtocolEditorModel& model() const { return m_model; }
    QAbstractButton* pageButton(Page page) const { return m_pageButtons[static_cast<size_t>(page)]; }
    QPlainTextEdit* commentField() const { return m_comment; }
    CommandsPage* commandsPage() const { return m_commands; }
    ActionsPage* actionsPage() const { return m_actions; }
    app::ui::CrcPanel* crcPanel() const { return m_crc; }
    ErrorTextPage* errorTextPage() const { return m_errors; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* saveAsButton() const { return m_saveAs; }

  private:
    void fillPages();
    bool finishSave(const protocol::EditResult& result);
    QString askSavePath();

    app::MessageSink& m_messages;
    protocol::ProtocolEditorModel m_model;
    std::array<QAbstractButton*, 5> m_pageButtons{};
    QButtonGroup* m_pageGroup;
    QStackedWidget* m_pages;
    QPlainTextEdit* m_comment;
    CommandsPage* m_commands;
    ActionsPage* m_actions;
    app::ui::CrcPanel* m_crc;
    ErrorTextPage* m_errors;
    QPushButton* m_save;
    QPushButton* m_cancel;
    QPushButton* m_saveAs;
    PathChooser m_choosePath;
};

} // namespace app::ui::editor
