// The protocol editor with the simulator's description loaded: each of its five pages, and the live
// template check marking a faulty line.

#include "shots.h"

#include "app/ui/crc_panel.h"
#include "app/ui/protocol_editor/actions_page.h"
#include "app/ui/protocol_editor/commands_page.h"
#include "app/ui/protocol_editor/protocol_editor.h"
#include "app/ui/protocol_editor/template_edit.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>

namespace {

struct NoBoxes : app::MessageSink {
    bool showMessage(std::string_view, std::string_view, app::MessageKind) override { return true; }
};

using app::ui::editor::ProtocolEditor;

void protocolEditorShots(const shots::Context& ctx) {
    NoBoxes boxes;
    ProtocolEditor e(boxes);
    e.LoadIntoEditor(QString::fromStdString(shots::userProtocol(ctx)));
    shots::save(e, "protocol-editor-general", ctx);

    e.showPage(ProtocolEditor::Commands);
    app::ui::editor::CommandsPage* commands = e.commandsPage();
    commands->commandList()->setCurrentRow(4);
    shots::save(e, "protocol-editor-commands", ctx);

    // A closing bracket missing on the third line.
    app::ui::editor::TemplateEdit* command = commands->templateEdit(protocol::TemplateKind::Command);
    QString text = command->toPlainText();
    text.replace(QStringLiteral("BYTE2(ADDRESS)"), QStringLiteral("BYTE2(ADDRESS"));
    command->setPlainText(text);
    shots::save(e, "protocol-editor-live-check", ctx);

    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* actions = e.actionsPage();
    actions->selectRow(6);
    actions->stepList()->setCurrentRow(0);
    shots::save(e, "protocol-editor-actions", ctx);

    e.showPage(ProtocolEditor::Crc);
    e.crcPanel()->calculate();
    shots::save(e, "protocol-editor-crc", ctx);

    e.showPage(ProtocolEditor::Exceptions);
    shots::save(e, "protocol-editor-exceptions", ctx);
    e.reject();
}

} // namespace

static shots::Registration reg("editor", &protocolEditorShots);
