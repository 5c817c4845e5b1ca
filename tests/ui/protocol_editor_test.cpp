#include "app/ui/crc_panel.h"
#include "app/ui/main_window.h"
#include "app/ui/protocol_editor/actions_page.h"
#include "app/ui/protocol_editor/commands_page.h"
#include "app/ui/protocol_editor/error_text_page.h"
#include "app/ui/protocol_editor/protocol_editor.h"
#include "app/ui/protocol_editor/template_edit.h"
#include "app/ui/value_edit.h"
#include "protocol/vpdf_reader.h"
#include "protocol/vpdf_writer.h"
#include "support/paths.h"
#include "support/recorded_messages.h"
#include "support/sim_process.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <fstream>

using app::ui::editor::ProtocolEditor;
using protocol::TemplateKind;

namespace {

// Collects the messages; questions are answered with `answer`.
QStringList listTexts(const QListWidget& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

// The step commands of an action list.
std::vector<int32_t> steps(const ProtocolEditor& e, int list) {
    return e.model().description().ActionLists[static_cast<size_t>(list)].StepCommands;
}

QAction* menuEntry(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// Types key by key as a user would (Cyrillic letters too); a line feed is the Return key.
void typeKeys(QWidget* field, const QString& text) {
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            QTest::keyClick(field, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces the whole text of a field by typing.
void typeInto(QWidget* field, const QString& text) {
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    typeKeys(field, text);
}

// A description with two commands, two error texts and two ignore lists: in "Чтение сектора" the
// first two steps share list 0, the third uses list 1; "После чтения" has a step saved without list.
void writeSharedListsFile(const std::filesystem::path& path) {
    protocol::TProtocol p;
    protocol::PrepareActionLists(p);
    p.Commands.Add().Name = "A";
    p.Commands.Add().Name = "B";
    p.Exceptions = {protocol::MakeException(5, "Тест"), protocol::MakeException(6, "Другой")};
    p.IgnoreLists = {{{5}}, {{6}}};
    protocol::TVLMAction& sector = p.ActionLists[3];
    for (int32_t c : {0, 1, 0})
        protocol::AddStep(sector, c, true);
    sector.StepIgnoreLists = {0, 0, 1};
    protocol::AddStep(p.ActionLists[4], 1, true);
    std::string error;
    QVERIFY2(protocol::WriteProtocolFile(p, path, error), error.c_str());
}

constexpr int kSectorRow = 5; // tree row of "Чтение сектора" (list 3)
constexpr int kAfterReadRow = 6;

} // namespace

class ProtocolEditorTest : public QObject {
    Q_OBJECT

  private slots:
    void commandsAreNamedAndDeleted();
    void deletingACommandRenumbersSteps();
    void applyRefusesOrWarns_data();
    void applyRefusesOrWarns();
    void liveCheckMarksTheFaultyLine();
    void removingAStepKeepsSharedIgnoreLists();
    void stepsWithout65535ListGetANewOne();
    void stepButtonsFollowTheTree();
    void the256thStepIsRefused();
    void errorGridRowRules();
    void newDescriptionOnlyWithSaveAs();
    void failedSaveKeepsTheEditorOpen();
    void damagedFileIsReported();
    void builtFromScratchReadsTheSimulator();
};

void ProtocolEditorTest::commandsAreNamedAndDeleted() {
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    app::ui::editor::CommandsPage* page = e.commandsPage();
    QVERIFY(!page->deleteButton()->isEnabled());
    for (int i = 0; i < 3; ++i)
        page->addButton()->click();
    QCOMPARE(listTexts(*page->commandList()),
             QStringList({QStringLiteral("noname1"), QStringLiteral("noname2"), QStringLiteral("noname3")}));
    QCOMPARE(page->nameField()->text(), QStringLiteral("noname3"));
    QVERIFY(page->deleteButton()->isEnabled());

    page->commandList()->setCurrentRow(1);
    messages.answer = false;
    page->deleteButton()->click();
    QCOMPARE(messages.last(), std::string("Вы точно хотите удалить комманду: noname2"));
    QCOMPARE(page->commandList()->count(), 3);

    messages.answer = true;
    page->deleteButton()->click();
    QCOMPARE(listTexts(*page->commandList()),
             QStringList({QStringLiteral("noname1"), QStringLiteral("noname3")}));
    QCOMPARE(page->commandList()->currentRow(), 1);
    QCOMPARE(page->nameField()->text(), QStringLiteral("noname3"));

    page->addButton()->click();
    QCOMPARE(page->commandList()->item(2)->text(), QStringLiteral("noname2"));
    QCOMPARE(page->commandList()->currentRow(), 2);

    // Letter case does not make a new name.
    page->commandList()->setCurrentRow(0);
    typeInto(page->nameField(), QStringLiteral("NONAME4"));
    page->applyButton()->click();
    page->addButton()->click();
    QCOMPARE(page->commandList()->item(3)->text(), QStringLiteral("noname1"));

    for (int i = 0; i < 4; ++i)
        page->deleteButton()->click();
    QCOMPARE(page->commandList()->count(), 0);
    QVERIFY(!page->deleteButton()->isEnabled());
    QVERIFY(page->nameField()->text().isEmpty());
    QCOMPARE(page->exceptionModeBox()->currentIndex(), -1);
}

void ProtocolEditorTest::deletingACommandRenumbersSteps() {
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    for (int i = 0; i < 4; ++i)
        e.commandsPage()->addButton()->click();
    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* actions = e.actionsPage();
    actions->selectRow(kSectorRow);
    QCOMPARE(actions->currentList(), 3);
    for (int c : {0, 1, 2, 3, 1})
        actions->commandMenu()->actions()[c]->trigger();
    actions->selectRow(kAfterReadRow);
    actions->commandMenu()->actions()[2]->trigger();
    QCOMPARE(steps(e, 3), std::vector<int32_t>({0, 1, 2, 3, 1}));

    e.showPage(ProtocolEditor::Commands);
    e.commandsPage()->commandList()->setCurrentRow(1);
    e.commandsPage()->deleteButton()->click();
    QCOMPARE(steps(e, 3), std::vector<int32_t>({0, 1, 2}));
    QCOMPARE(steps(e, 4), std::vector<int32_t>({1}));

    e.showPage(ProtocolEditor::Actions);
    actions->selectRow(kSectorRow);
    QCOMPARE(listTexts(*actions->stepList()),
             QStringList({QStringLiteral("noname1"), QStringLiteral("noname3"), QStringLiteral("noname4")}));
    QCOMPARE(actions->commandMenu()->actions().size(), 3);
}

void ProtocolEditorTest::applyRefusesOrWarns_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<bool>("applied");
    QTest::addColumn<QStringList>("messages");

    const QString good = QStringLiteral("RECIPIENT;\n0X11;");
    QTest::newRow("sound") << "Чтение" << good << "RECIPIENT;" << 100 << true << QStringList();
    QTest::newRow("name of another command, other case")
        << "OTHER" << good << "" << 0 << false << QStringList{"Комманда с таким именем уже существует"};
    QTest::newRow("faulty lines warn, text kept")
        << "x"
        << "RECIPIENT;\nHIGH(;"
        << "1;\n2;\n<BAD>;" << 0 << true
        << QStringList{"Ошибка в описнии комманды (стр 2)", "Ошибка в описнии ответа (стр 3)"};
    QTest::newRow("name over 255 bytes") << QString(256, QChar(u'ж')) << good << "" << 0 << false
                                         << QStringList{"Название комманды длиннее 255 символов"};
    QTest::newRow("template over 255 bytes") << "x" << QStringLiteral("1;").repeated(128) << "" << 0 << false
                                             << QStringList{"Описание комманды длиннее 255 символов"};
    QTest::newRow("character outside the code page")
        << "x✓" << good << "" << 0 << false
        << QStringList{"Название комманды содержит символ, которого нет в кодовой странице 1251"};
    QTest::newRow("time over 65535") << "x" << good << "" << 65536 << false
                                     << QStringList{"Время ожидания ответа должно быть от 0 до 65535"};
    QTest::newRow("negative time") << "x" << good << "" << -1 << false
                                   << QStringList{"Время ожидания ответа должно быть от 0 до 65535"};
}

void ProtocolEditorTest::applyRefusesOrWarns() {
    QFETCH(QString, name);
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(int, timeout);
    QFETCH(bool, applied);
    QFETCH(QStringList, messages);

    testsupport::RecordedMessages sink;
    ProtocolEditor e(sink);
    app::ui::editor::CommandsPage* page = e.commandsPage();
    page->addButton()->click();
    typeInto(page->nameField(), QStringLiteral("other"));
    page->applyButton()->click();
    page->addButton()->click();
    QCOMPARE(page->commandList()->currentRow(), 1);

    typeInto(page->nameField(), name);
    page->templateEdit(TemplateKind::Command)->setPlainText(command);
    page->templateEdit(TemplateKind::Answer)->setPlainText(answer);
    page->answerTimeoutEdit()->setIValue(timeout);
    page->exceptionModeBox()->setCurrentIndex(2);
    page->applyButton()->click();

    QStringList shown;
    for (const std::string& t : sink.texts)
        shown << QString::fromStdString(t);
    QCOMPARE(shown, messages);
    const protocol::TprCOMMAND& c = e.model().description().Commands[1];
    if (applied) {
        QCOMPARE(QString::fromStdString(c.Name), name);
        QCOMPARE(c.AnswerTimeout, timeout);
        QCOMPARE(int(c.ExceptionMode), 2);
        // The list is refilled and the command shown in its display form, one field per line.
        QCOMPARE(page->commandList()->item(1)->text(), name);
        QCOMPARE(page->templateEdit(TemplateKind::Command)->toPlainText(),
                 QString::fromStdString(c.Command()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCOMPARE(page->templateTabs()->currentIndex(), 0);
    } else {
        QCOMPARE(c.Name, std::string("noname1"));
        QCOMPARE(c.storedCommand(), std::string());
        QCOMPARE(c.AnswerTimeout, 0);
        QCOMPARE(page->nameField()->text(), name); // the typed values stay for correction
    }
}

void ProtocolEditorTest::liveCheckMarksTheFaultyLine() {
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    e.show();
    app::ui::editor::CommandsPage* page = e.commandsPage();
    page->addButton()->click();
    e.showPage(ProtocolEditor::Commands);
    app::ui::editor::TemplateEdit* edit = page->templateEdit(TemplateKind::Command);
    typeInto(edit, QStringLiteral("RECIPIENT;\nHIGH(ADDRESS;\nLOW(ADDRESS);"));
    QCOMPARE(edit->markedLines(), std::vector<int>({1}));
    QCOMPARE(page->checkLabel()->text(), QStringLiteral("Ошибка в описнии комманды (стр 2)"));
    QVERIFY(!page->templateTabs()->tabIcon(0).isNull());

    // Mending the line removes the mark; text after the last ";" marks the line it starts on.
    edit->moveCursor(QTextCursor::Start);
    edit->moveCursor(QTextCursor::Down);
    edit->moveCursor(QTextCursor::EndOfLine);
    QTest::keyClick(edit, Qt::Key_Left);
    typeKeys(edit, QStringLiteral(")"));
    QVERIFY(edit->markedLines().empty());
    QVERIFY(page->checkLabel()->text().isEmpty());
    QVERIFY(page->templateTabs()->tabIcon(0).isNull());
    edit->moveCursor(QTextCursor::End);
    typeKeys(edit, QStringLiteral("\n1"));
    QCOMPARE(edit->markedLines(), std::vector<int>({3}));

    // An answer checks as an answer; nothing has been applied by checking.
    app::ui::editor::TemplateEdit* answer = page->templateEdit(TemplateKind::Answer);
    typeInto(answer, QStringLiteral("RECIPIENT;<SIZE>;<NOPE>;"));
    QCOMPARE(answer->markedLines(), std::vector<int>({0}));
    QCOMPARE(page->checkLabel()->text(),
             QStringLiteral("Ошибка в описнии комманды (стр 4); Ошибка в описнии ответа (стр 1)"));
    QCOMPARE(e.model().description().Commands[0].storedCommand(), std::string());

    // Another command shows without marks.
    page->addButton()->click();
    QVERIFY(edit->markedLines().empty());
    QVERIFY(answer->markedLines().empty());
    QVERIFY(page->checkLabel()->text().isEmpty());
    QVERIFY(messages.texts.empty());
}

void ProtocolEditorTest::removingAStepKeepsSharedIgnoreLists() {
    testsupport::TempDir dir;
    writeSharedListsFile(dir / "shared.vpdf");
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    QCOMPARE(e.LoadIntoEditor(QString::fromStdString((dir / "shared.vpdf").string())), 0);
    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* a = e.actionsPage();
    a->selectRow(kSectorRow);
    QCOMPARE(listTexts(*a->stepList()), QStringList({"A", "B", "A"}));

    a->stepList()->setCurrentRow(0);
    QCOMPARE(listTexts(*a->codeList()), QStringList({"<5> Тест"}));
    QVERIFY(a->removeStepButton()->isEnabled());
    a->removeStepButton()->click();
    QCOMPARE(messages.last(), std::string("Вы точно хотите убрать комманду: A"));
    const protocol::TProtocol& p = e.model().description();
    QCOMPARE(p.IgnoreLists.size(), size_t(2));
    QCOMPARE(p.ActionLists[3].StepIgnoreLists, std::vector<int32_t>({0, 1}));
    QCOMPARE(a->stepList()->currentRow(), 0);
    QCOMPARE(listTexts(*a->codeList()), QStringList({"<5> Тест"}));

    // The last user of list 0 goes: the list goes with it and list 1 moves down.
    a->removeStepButton()->click();
    QCOMPARE(p.IgnoreLists.size(), size_t(1));
    QCOMPARE(p.ActionLists[3].StepIgnoreLists, std::vector<int32_t>({0}));
    QCOMPARE(listTexts(*a->codeList()), QStringList({"<6> Другой"}));

    // Removing the last code asks, then deletes the list that only this step used.
    a->codeList()->setCurrentRow(0);
    QVERIFY(a->removeCodeButton()->isEnabled());
    a->removeCodeButton()->click();
    QCOMPARE(messages.last(), std::string("Вы точно не хотите игнорировать исключение:\r#6- <Другой>"));
    QVERIFY(p.IgnoreLists.empty());
    QCOMPARE(p.ActionLists[3].StepIgnoreLists, std::vector<int32_t>({-1}));
    QCOMPARE(a->codeList()->count(), 0);
    QVERIFY(!a->removeCodeButton()->isEnabled());
}

void ProtocolEditorTest::stepsWithout65535ListGetANewOne() {
    testsupport::TempDir dir;
    writeSharedListsFile(dir / "shared.vpdf");
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    QCOMPARE(e.LoadIntoEditor(QString::fromStdString((dir / "shared.vpdf").string())), 0);
    const protocol::TProtocol& p = e.model().description();
    QCOMPARE(p.ActionLists[4].StepIgnoreLists, std::vector<int32_t>({65535}));

    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* a = e.actionsPage();
    a->selectRow(kAfterReadRow);
    a->stepList()->setCurrentRow(0);
    QCOMPARE(a->codeList()->count(), 0);
    QVERIFY(a->addCodeButton()->isEnabled());
    QCOMPARE(a->codeMenu()->actions().size(), 2);
    menuEntry(a->codeMenu(), QStringLiteral("<6> Другой"))->trigger();
    QCOMPARE(p.IgnoreLists.size(), size_t(3));
    QCOMPARE(p.ActionLists[4].StepIgnoreLists, std::vector<int32_t>({2}));
    QCOMPARE(listTexts(*a->codeList()), QStringList({"<6> Другой"}));
    QCOMPARE(a->codeList()->currentRow(), 0);
    // The other steps keep their lists.
    QCOMPARE(p.ActionLists[3].StepIgnoreLists, std::vector<int32_t>({0, 0, 1}));
}

void ProtocolEditorTest::stepButtonsFollowTheTree() {
    testsupport::TempDir dir;
    writeSharedListsFile(dir / "shared.vpdf");
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    e.LoadIntoEditor(QString::fromStdString((dir / "shared.vpdf").string()));
    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* a = e.actionsPage();

    // A group row offers nothing.
    a->selectRow(3);
    QCOMPARE(a->currentList(), -1);
    QVERIFY(!a->stepList()->isEnabled());
    QCOMPARE(a->stepList()->count(), 0);
    for (QToolButton* b : {a->addStepButton(), a->removeStepButton(), a->stepUpButton(), a->stepDownButton(),
                           a->addCodeButton(), a->removeCodeButton()})
        QVERIFY(!b->isEnabled());

    a->selectRow(kSectorRow);
    QVERIFY(a->stepList()->isEnabled());
    QVERIFY(a->addStepButton()->isEnabled());
    QVERIFY(a->removeStepButton()->isEnabled());
    QVERIFY(!a->codeList()->isEnabled());

    // Moving keeps the step's ignore list and its selection.
    a->stepList()->setCurrentRow(2);
    a->stepUpButton()->click();
    QCOMPARE(steps(e, 3), std::vector<int32_t>({0, 0, 1}));
    QCOMPARE(e.model().description().ActionLists[3].StepIgnoreLists, std::vector<int32_t>({0, 1, 0}));
    QCOMPARE(a->stepList()->currentRow(), 1);
    a->stepUpButton()->click();
    a->stepUpButton()->click(); // already first
    QCOMPARE(a->stepList()->currentRow(), 0);
    QCOMPARE(listTexts(*a->codeList()), QStringList({"<6> Другой"}));
    a->stepDownButton()->click();
    QCOMPARE(a->stepList()->currentRow(), 1);

    // The check box is the step's enabled flag.
    a->stepList()->item(2)->setCheckState(Qt::Unchecked);
    QCOMPARE(e.model().description().ActionLists[3].StepEnabled, std::vector<uint8_t>({1, 1, 0}));

    // An empty list has nothing to remove.
    a->selectRow(12);
    QCOMPARE(a->currentList(), 9);
    QVERIFY(a->addStepButton()->isEnabled());
    QVERIFY(!a->removeStepButton()->isEnabled());
}

void ProtocolEditorTest::the256thStepIsRefused() {
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    e.commandsPage()->addButton()->click();
    e.showPage(ProtocolEditor::Actions);
    app::ui::editor::ActionsPage* a = e.actionsPage();
    a->selectRow(13);
    QAction* add = a->commandMenu()->actions().value(0);
    QVERIFY(add);
    for (int i = 0; i < 255; ++i)
        add->trigger();
    QVERIFY(messages.texts.empty());
    add->trigger();
    QCOMPARE(messages.last(), std::string("В списке действий не может быть больше 255 комманд"));
    QCOMPARE(a->stepList()->count(), 255);
}

void ProtocolEditorTest::errorGridRowRules() {
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    app::ui::editor::ErrorTextPage* page = e.errorTextPage();
    QTableWidget* t = page->table();
    auto rows = [t] {
        QStringList out;
        for (int r = 0; r < t->rowCount(); ++r)
            out << t->item(r, 0)->text() + "|" + t->item(r, 1)->text();
        return out;
    };
    // The user types; the table may rebuild itself after each edit.
    auto type = [&](int row, int column, const QString& text) {
        t->setCurrentCell(row, column);
        page->editCell(row, column, text);
    };
    type(0, 0, QStringLiteral("5"));
    type(0, 1, QStringLiteral("Тест"));
    QCOMPARE(rows(), QStringList({"5|Тест", "|"}));
    type(1, 0, QStringLiteral("6"));
    type(1, 1, QStringLiteral("Шесть"));
    type(2, 0, QStringLiteral("7"));
    type(2, 1, QStringLiteral("Семь"));
    QCOMPARE(rows(), QStringList({"5|Тест", "6|Шесть", "7|Семь", "|"}));

    // A cleared middle row stays while it is edited and goes when another cell is edited.
    type(1, 0, QString());
    type(1, 1, QString());
    QCOMPARE(rows(), QStringList({"5|Тест", "|", "7|Семь", "|"}));
    type(2, 1, QStringLiteral("Семь!"));
    QCOMPARE(rows(), QStringList({"5|Тест", "7|Семь!", "|"}));
    QCOMPARE(t->currentRow(), 1);

    // A cleared row above the empty last row becomes the last row.
    type(1, 0, QString());
    type(1, 1, QString());
    QCOMPARE(rows(), QStringList({"5|Тест", "|"}));

    // Typing into the table's own cell editor: the rows are rebuilt once the edit is done.
    e.show();
    e.showPage(ProtocolEditor::Exceptions);
    auto typeInCell = [&](int row, int column, const QString& text) {
        t->setCurrentCell(row, column);
        t->editItem(t->item(row, column));
        auto* cell = qobject_cast<QLineEdit*>(t->indexWidget(t->model()->index(row, column)));
        QVERIFY(cell);
        typeInto(cell, text);
        QTest::keyClick(cell, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    typeInCell(1, 0, QStringLiteral("9"));
    QTRY_COMPARE(t->rowCount(), 3);
    typeInCell(1, 1, QStringLiteral("Девять"));
    typeInCell(1, 1, QString());
    typeInCell(1, 0, QString());
    QTRY_COMPARE(rows(), QStringList({"5|Тест", "|"}));
    typeInCell(1, 0, QStringLiteral("9"));
    QTRY_COMPARE(rows(), QStringList({"5|Тест", "9|", "|"}));

    // The action page offers the codes the grid holds; a row with one empty cell is no entry.
    e.showPage(ProtocolEditor::Actions);
    QCOMPARE(e.actionsPage()->codeMenu()->actions().size(), 1);
    QCOMPARE(e.actionsPage()->codeMenu()->actions()[0]->text(), QStringLiteral("<5> Тест"));

    // A code that is not a number stops the save with a message and writes nothing.
    testsupport::TempDir dir;
    type(0, 0, QStringLiteral("5z"));
    e.setPathChooser([&] { return QString::fromStdString((dir / "bad.vpdf").string()); });
    QVERIFY(!e.saveAs());
    QVERIFY(!messages.texts.empty());
    QVERIFY(!std::filesystem::exists(dir / "bad.vpdf"));
    QVERIFY(!e.saveButton()->isEnabled());
}

void ProtocolEditorTest::newDescriptionOnlyWithSaveAs() {
    testsupport::TempDir dir;
    const QString missing = QString::fromStdString((dir / "missing.vpdf").string());
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    QCOMPARE(e.LoadIntoEditor(missing), -2);
    QVERIFY(!e.saveButton()->isEnabled());
    QVERIFY(e.saveButton()->isDefault());
    // A new description frames with MODBUS RTU.
    QCOMPARE(e.crcPanel()->presetBox()->currentIndex(), 4);
    QVERIFY(!e.save());
    QVERIFY(!messages.texts.empty());
    QVERIFY(!std::filesystem::exists(dir / "missing.vpdf"));

    // A cancelled dialog changes nothing.
    e.setPathChooser([] { return QString(); });
    QVERIFY(!e.saveAs());
    QVERIFY(!e.saveButton()->isEnabled());

    const QString chosen = QString::fromStdString((dir / "new.vpdf").string());
    e.setPathChooser([&] { return chosen; });
    e.commentField()->setPlainText(QStringLiteral("Первая строка\nвторая"));
    e.show();
    QVERIFY(e.saveAs());
    QVERIFY(e.isVisible()); // "save as" leaves the window open
    QVERIFY(e.saveButton()->isEnabled());
    QCOMPARE(e.model().currentPath(), std::filesystem::path(dir / "new.vpdf"));

    e.commentField()->setPlainText(QStringLiteral("Изменено"));
    e.crcPanel()->presetBox()->setCurrentIndex(5);
    QVERIFY(e.save());
    QCOMPARE(e.result(), int(QDialog::Accepted));
    QVERIFY(!e.isVisible());

    protocol::TProtocol back;
    QCOMPARE(protocol::ReadProtocolFile(back, dir / "new.vpdf"), 0);
    QCOMPARE(back.Comment, std::string("Изменено"));
    QCOMPARE(back.CRCGenerator.Width(), 32);

    // A comment of several lines keeps its line breaks.
    ProtocolEditor again(messages);
    QCOMPARE(again.LoadIntoEditor(chosen), 0);
    again.commentField()->setPlainText(QStringLiteral("a\nb"));
    QVERIFY(again.save());
    QCOMPARE(protocol::ReadProtocolFile(back, dir / "new.vpdf"), 0);
    QCOMPARE(back.Comment, std::string("a\r\nb"));
    ProtocolEditor third(messages);
    QCOMPARE(third.LoadIntoEditor(chosen), 0);
    QCOMPARE(third.commentField()->toPlainText(), QStringLiteral("a\nb"));
    QCOMPARE(third.crcPanel()->widthBox()->currentIndex(), 1);
}

void ProtocolEditorTest::failedSaveKeepsTheEditorOpen() {
    testsupport::TempDir dir;
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    const std::filesystem::path good = dir / "good.vpdf";
    e.setPathChooser([&] { return QString::fromStdString(good.string()); });
    QVERIFY(e.saveAs());

    const std::filesystem::path unwritable = dir / "no" / "such" / "folder.vpdf";
    e.setPathChooser([&] { return QString::fromStdString(unwritable.string()); });
    e.show();
    QVERIFY(!e.saveAs());
    QVERIFY(e.isVisible());
    QVERIFY(messages.last().find(unwritable.string()) != std::string::npos);
    QCOMPARE(e.model().currentPath(), good);

    // "Сохранить" into a file that cannot be replaced: the message, and the window stays.
    std::filesystem::remove(good);
    std::filesystem::create_directory(good);
    messages.texts.clear();
    QVERIFY(!e.save());
    QVERIFY(e.isVisible());
    QCOMPARE(messages.texts.size(), size_t(1));
    QVERIFY(messages.last().find(good.string()) != std::string::npos);

    // A CRC field that is not a number refuses the save as well.
    std::filesystem::remove(good);
    e.crcPanel()->polynomField()->setText(QStringLiteral("0xZZ"));
    messages.texts.clear();
    QVERIFY(!e.save());
    QCOMPARE(messages.texts.size(), size_t(1));
    QVERIFY(!std::filesystem::exists(good));
}

void ProtocolEditorTest::damagedFileIsReported() {
    testsupport::TempDir dir;
    const std::filesystem::path damaged = dir / "damaged.vpdf";
    std::ofstream(damaged, std::ios::binary) << "not a protocol description";
    testsupport::RecordedMessages messages;
    QCOMPARE(ProtocolEditor::editFile(QString::fromStdString(damaged.string()), messages), -1);
    QCOMPARE(messages.texts, std::vector<std::string>({"Испорчен файл описания протокола"}));
    QCOMPARE(messages.kinds, std::vector<app::MessageKind>({app::MessageKind::Error}));

    // A path that exists but cannot be read is no new description: saving one there would replace it.
    messages.texts.clear();
    const std::filesystem::path folder = dir / "folder.vpdf";
    std::filesystem::create_directory(folder);
    QCOMPARE(ProtocolEditor::editFile(QString::fromStdString(folder.string()), messages), -1);
    QCOMPARE(messages.texts,
             std::vector<std::string>({"Не могу прочитать файл описания протокола: " + folder.string()}));

    // A missing file opens a new description; cancelling writes nothing.
    messages.texts.clear();
    const std::filesystem::path missing = dir / "missing.vpdf";
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* editor = qobject_cast<ProtocolEditor*>(w); editor && editor->isVisible()) {
                QCOMPARE(editor->model().description().ActionLists.size(), size_t(11));
                editor->cancelButton()->click();
            }
    });
    QCOMPARE(ProtocolEditor::editFile(QString::fromStdString(missing.string()), messages),
             int(QDialog::Rejected));
    QVERIFY(messages.texts.empty());
    QVERIFY(!std::filesystem::exists(missing));
}

void ProtocolEditorTest::builtFromScratchReadsTheSimulator() {
    testsupport::TempDir dir;
    testsupport::RecordedMessages messages;
    ProtocolEditor e(messages);
    e.show();
    QCOMPARE(e.LoadIntoEditor(QString::fromStdString((dir / "absent.vpdf").string())), -2);

    // Two commands typed into the command page.
    const struct {
        QString name, command, answer, exceptn;
        int timeout;
    } commands[] = {
        {QStringLiteral("Проверка связи"), QStringLiteral("RECIPIENT;0x11;HIGH(PACK_CRC);LOW(PACK_CRC);"),
         QStringLiteral("RECIPIENT;0x11;<SIZE>;<OMITTED(SIZE)>;HIGH(PACK_CRC);LOW(PACK_CRC);"),
         QStringLiteral("RECIPIENT;0x91;<ERRORCODE>;HIGH(PACK_CRC);LOW(PACK_CRC);"), 500},
        {QStringLiteral("Чтение страницы"),
         QStringLiteral("RECIPIENT;0x43;\nBYTE3(ADDRESS);BYTE2(ADDRESS);BYTE1(ADDRESS);BYTE0(ADDRESS);\n"
                        "HIGH(PAGESIZE);LOW(PAGESIZE);HIGH(PACK_CRC);LOW(PACK_CRC);"),
         QStringLiteral("RECIPIENT;0x43;<HIGH(SIZE)>;<LOW(SIZE)>;<DATABLOCK>;HIGH(PACK_CRC);LOW(PACK_CRC);"),
         QStringLiteral("RECIPIENT;0xC3;<ERRORCODE>;HIGH(PACK_CRC);LOW(PACK_CRC);"), 1000},
    };
    e.pageButton(ProtocolEditor::Commands)->click();
    app::ui::editor::CommandsPage* page = e.commandsPage();
    for (const auto& c : commands) {
        page->addButton()->click();
        typeInto(page->nameField(), c.name);
        typeInto(page->templateEdit(TemplateKind::Command), c.command);
        page->templateTabs()->setCurrentIndex(1);
        typeInto(page->templateEdit(TemplateKind::Answer), c.answer);
        page->templateTabs()->setCurrentIndex(2);
        typeInto(page->templateEdit(TemplateKind::Exceptn), c.exceptn);
        typeInto(page->answerTimeoutEdit()->edit(), QString::number(c.timeout));
        page->exceptionModeBox()->setCurrentIndex(1);
        QVERIFY(page->checkLabel()->text().isEmpty());
        page->applyButton()->click();
    }
    QVERIFY2(messages.texts.empty(), messages.last().c_str());

    // The read lists: the link check before reading, the page read for every sector.
    e.pageButton(ProtocolEditor::Actions)->click();
    app::ui::editor::ActionsPage* actions = e.actionsPage();
    actions->selectRow(4);
    menuEntry(actions->commandMenu(), commands[0].name)->trigger();
    actions->selectRow(kSectorRow);
    menuEntry(actions->commandMenu(), commands[1].name)->trigger();

    // The frame CRC chosen on its page: another preset first, then MODBUS RTU.
    e.pageButton(ProtocolEditor::Crc)->click();
    e.crcPanel()->presetBox()->setCurrentIndex(3);
    e.crcPanel()->presetBox()->setCurrentIndex(4);
    QVERIFY(e.crcPanel()->calculate());
    QCOMPARE(e.crcPanel()->checkText(), QStringLiteral("0x0000374B"));

    e.pageButton(ProtocolEditor::General)->click();
    typeInto(e.commentField(), QStringLiteral("Собрано в редакторе"));
    const std::filesystem::path built = dir / "built.vpdf";
    e.setPathChooser([&] { return QString::fromStdString(built.string()); });
    e.saveAsButton()->click();
    QVERIFY2(messages.texts.empty(), messages.last().c_str());
    QVERIFY(std::filesystem::exists(built));

    // The main window reads pages 0x2100..0x3FFF from the simulator with that description.
    std::vector<char> memory(0x4000, '\xFF');
    for (size_t a = 0x2000; a < memory.size(); ++a)
        memory[a] = static_cast<char>(a * 13 + 5);
    const std::string memoryPath = (dir / "mem.bin").string();
    std::ofstream(memoryPath, std::ios::binary)
        .write(memory.data(), static_cast<std::streamsize>(memory.size()));
    testsupport::SimProcess sim({"--image-in", memoryPath});
    const std::string ini = (dir / "prog.ini").string();
    {
        std::ofstream f(ini);
        f << "[Profiles]\nactive=default\n[Port settings]\nbaudrate=12\ndevice=" << sim.linePath() << "\n"
          << "[default\\Connection]\nprotocolFile=" << built.string()
          << "\nFLASH start=0x2100\nFLASH end=0x3FFF\n[default\\Protocol]\nPagesize=128\n";
    }
    testsupport::RecordedMessages windowMessages;
    app::ui::MainWindow w(app::CommandLine({}), ini, &windowMessages);
    QVERIFY2(!w.state().communicationDisabled, windowMessages.last().c_str());
    w.action("DevRead")->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!w.sequencer().paging(), 60000);
    QCOMPARE(int(w.sequencer().outcome()), int(exchange::OperationSequencer::Outcome::Completed));
    for (size_t a = 0x2100; a < memory.size(); ++a)
        QCOMPARE(int(w.image().Data[a]), int(static_cast<uint8_t>(memory[a])));
}

QTEST_MAIN(ProtocolEditorTest)
#include "protocol_editor_test.moc"
