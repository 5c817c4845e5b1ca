#include "app/ui/protocol_editor/commands_page.h"

#include "app/ui/button_row.h"
#include "app/ui/protocol_editor/editor_text.h"
#include "app/ui/protocol_editor/template_edit.h"
#include "app/ui/value_edit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace app::ui::editor {

namespace {

constexpr std::array<protocol::TemplateKind, 3> kKinds = {
    protocol::TemplateKind::Command, protocol::TemplateKind::Answer, protocol::TemplateKind::Exceptn};
constexpr std::array<const char*, 3> kTabTexts = {"Комманда", "Норм. ответ", "Исключение"};
constexpr std::array<const char*, 3> kExceptionModes = {"прерывает процесс", "инициирует 3х кратный повтор",
                                                        "игнорируется"};

app::ui::TMValueEdit* makeTimeEdit(QWidget* parent, const char* name) {
    auto* edit = new app::ui::TMValueEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

CommandsPage::CommandsPage(protocol::ProtocolEditorModel& model, app::MessageSink& messages, QWidget* parent)
    : QWidget(parent), m_model(model), m_messages(messages), m_list(new QListWidget(this)),
      m_name(new QLineEdit(this)), m_tabs(new QTabWidget(this)), m_templates{},
      m_answerTimeout(makeTimeEdit(this, "answerTimeout")),
      m_frameInterval(makeTimeEdit(this, "frameInterval")), m_exceptionMode(new QComboBox(this)),
      m_add(new QPushButton(QStringLiteral("Добавить"), this)),
      m_delete(new QPushButton(QStringLiteral("Удалить"), this)),
      m_apply(new QPushButton(QStringLiteral("Применить"), this)), m_checkLabel(new QLabel(this)) {
    m_list->setObjectName(QStringLiteral("commandList"));
    m_name->setObjectName(QStringLiteral("commandName"));
    m_exceptionMode->setObjectName(QStringLiteral("exceptionMode"));
    m_checkLabel->setObjectName(QStringLiteral("templateCheck"));
    for (size_t i = 0; i < kKinds.size(); ++i) {
        m_templates[i] = new TemplateEdit(m_tabs);
        m_templates[i]->setObjectName(QStringLiteral("template%1").arg(i));
        m_tabs->addTab(m_templates[i], QString::fromUtf8(kTabTexts[i]));
        connect(m_templates[i], &QPlainTextEdit::textChanged, this, [this, i] { checkTemplate(kKinds[i]); });
    }
    for (const char* mode : kExceptionModes)
        m_exceptionMode->addItem(QString::fromUtf8(mode));
    QPalette warning = m_checkLabel->palette();
    warning.setColor(QPalette::WindowText, QColor(204, 0, 0));
    m_checkLabel->setPalette(warning);

    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(QStringLiteral("Комманды протокола"), this));
    listColumn->addWidget(m_list, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_add);
    listButtons->addWidget(m_delete);
    listColumn->addLayout(listButtons);

    auto* fields = new QVBoxLayout;
    auto* nameRow = new QFormLayout;
    nameRow->addRow(QStringLiteral("Название"), m_name);
    fields->addLayout(nameRow);
    fields->addWidget(m_tabs, 1);
    fields->addWidget(m_checkLabel);
    auto* numbers = new QFormLayout;
    numbers->addRow(QStringLiteral("Время ожидания ответа"), m_answerTimeout);
    numbers->addRow(QStringLiteral("Время между посылками"), m_frameInterval);
    numbers->addRow(QStringLiteral("Обработка исключения"), m_exceptionMode);
    fields->addLayout(numbers);
    fields->addLayout(rightAlignedRow({m_apply}));

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(listColumn, 2);
    layout->addLayout(fields, 3);

    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            showCommand(row);
    });
    connect(m_add, &QPushButton::clicked, this, &CommandsPage::addCommand);
    connect(m_delete, &QPushButton::clicked, this, &CommandsPage::deleteCommand);
    connect(m_apply, &QPushButton::clicked, this, &CommandsPage::applyCommand);
    fill();
}

void CommandsPage::fill() {
    m_filling = true;
    m_list->clear();
    for (const protocol::TprCOMMAND& c : m_model.description().Commands.items())
        m_list->addItem(qt(c.Name));
    m_list->setCurrentRow(-1);
    m_filling = false;
    clearFields();
}

void CommandsPage::selectCommand(int index) {
    m_filling = true;
    m_list->clear();
    for (const protocol::TprCOMMAND& c : m_model.description().Commands.items())
        m_list->addItem(qt(c.Name));
    m_list->setCurrentRow(index);
    m_filling = false;
    showCommand(index);
}

void CommandsPage::clearFields() {
    m_name->clear();
    for (TemplateEdit* t : m_templates)
        t->clear();
    m_answerTimeout->setIValue(0);
    m_frameInterval->setIValue(0);
    m_exceptionMode->setCurrentIndex(-1);
    m_tabs->setCurrentIndex(0);
    m_apply->setEnabled(false);
    m_delete->setEnabled(false);
}

void CommandsPage::showCommand(int index) {
    const protocol::TprCOMMANDS& commands = m_model.description().Commands;
    if (index < 0 || static_cast<size_t>(index) >= commands.Count()) {
        clearFields();
        return;
    }
    const protocol::TprCOMMAND& c = commands[static_cast<size_t>(index)];
    m_name->setText(qt(c.Name));
    m_templates[0]->setPlainText(fieldText(c.Command()));
    m_templates[1]->setPlainText(fieldText(c.Answer()));
    m_templates[2]->setPlainText(fieldText(c.Exceptn()));
    m_answerTimeout->setIValue(c.AnswerTimeout);
    m_frameInterval->setIValue(c.FrameInterval);
    m_exceptionMode->setCurrentIndex(c.ExceptionMode <= 2 ? c.ExceptionMode : -1);
    m_tabs->setCurrentIndex(0);
    m_apply->setEnabled(true);
    m_delete->setEnabled(true);
}

void CommandsPage::addCommand() {
    const int index = m_model.addCommand();
    selectCommand(index);
}

void CommandsPage::deleteCommand() {
    const int index = m_list->currentRow();
    const protocol::TprCOMMANDS& commands = m_model.description().Commands;
    if (index < 0 || static_cast<size_t>(index) >= commands.Count())
        return;
    if (!ask("Вы точно хотите удалить комманду: " + commands[static_cast<size_t>(index)].Name))
        return;
    m_model.deleteCommand(index);
    const int count = static_cast<int>(commands.Count());
    if (count == 0) {
        fill();
        return;
    }
    selectCommand(std::min(index, count - 1));
}

void CommandsPage::applyCommand() {
    const int index = m_list->currentRow();
    protocol::CommandFields f;
    f.name = utf8(m_name->text());
    f.command = utf8(m_templates[0]->toPlainText());
    f.answer = utf8(m_templates[1]->toPlainText());
    f.exceptn = utf8(m_templates[2]->toPlainText());
    // The fields take any number; the model refuses what the file cannot hold.
    f.answerTimeout = m_answerTimeout->IValue();
    f.frameInterval = m_frameInterval->IValue();
    f.exceptionMode = m_exceptionMode->currentIndex();
    const protocol::ApplyResult r = m_model.applyCommand(index, f);
    if (!r.applied) {
        warn(r.refusal);
        switch (r.focus) {
        case protocol::CommandField::Name:
            m_name->setFocus();
            break;
        case protocol::CommandField::Command:
        case protocol::CommandField::Answer:
        case protocol::CommandField::Exceptn: {
            const int tab = static_cast<int>(r.focus) - static_cast<int>(protocol::CommandField::Command);
            m_tabs->setCurrentIndex(tab);
            m_templates[static_cast<size_t>(tab)]->setFocus();
            break;
        }
        case protocol::CommandField::AnswerTimeout:
            m_answerTimeout->edit()->setFocus();
            break;
        case protocol::CommandField::FrameInterval:
            m_frameInterval->edit()->setFocus();
            break;
        case protocol::CommandField::None:
            break;
        }
        return;
    }
    for (const std::string& w : r.warnings)
        warn(w);
    selectCommand(index);
}

void CommandsPage::checkTemplate(protocol::TemplateKind kind) {
    const size_t i = static_cast<size_t>(kind);
    TemplateEdit* edit = m_templates[i];
    edit->setFaults(m_model.templateFaults(kind, utf8(edit->toPlainText())));
    m_tabs->setTabIcon(static_cast<int>(i), edit->faults().empty()
                                                ? QIcon()
                                                : style()->standardIcon(QStyle::SP_MessageBoxWarning));
    showCheckVerdict();
}

void CommandsPage::showCheckVerdict() {
    QStringList faults;
    for (const TemplateEdit* edit : m_templates)
        for (const protocol::TemplateFault& f : edit->faults())
            faults << qt(f.message);
    m_checkLabel->setText(faults.join(QStringLiteral("; ")));
}

bool CommandsPage::ask(const std::string& text) {
    return m_messages.showMessage("Подтверждение", text, app::MessageKind::Question);
}

void CommandsPage::warn(const std::string& text) {
    m_messages.showMessage("Внимание", text, app::MessageKind::Warning);
}

} // namespace app::ui::editor
