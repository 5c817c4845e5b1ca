#include "app/ui/protocol_editor/actions_page.h"

#include "app/ui/protocol_editor/editor_text.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace app::ui::editor {

namespace {

QToolButton* makeButton(QWidget* parent, const char* name, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    return b;
}

// A menu entry shows its text as is; "&" would otherwise mark a shortcut letter.
QString menuText(const std::string& text) {
    return qt(text).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

ActionsPage::ActionsPage(protocol::ProtocolEditorModel& model, app::MessageSink& messages, QWidget* parent)
    : QWidget(parent), m_model(model), m_messages(messages), m_tree(new QTreeWidget(this)),
      m_steps(new QListWidget(this)), m_codes(new QListWidget(this)),
      m_addStep(makeButton(this, "addStep", QStringLiteral("Добавить комманду"))),
      m_removeStep(makeButton(this, "removeStep", QStringLiteral("Убрать комманду"))),
      m_stepUp(makeButton(this, "stepUp", QStringLiteral("Переместить выше"))),
      m_stepDown(makeButton(this, "stepDown", QStringLiteral("Переместить ниже"))),
      m_addCode(makeButton(this, "addCode", QStringLiteral("Добавить исключение"))),
      m_removeCode(makeButton(this, "removeCode", QStringLiteral("Убрать исключение"))),
      m_commandMenu(new QMenu(this)), m_codeMenu(new QMenu(this)) {
    m_tree->setObjectName(QStringLiteral("actionTree"));
    m_steps->setObjectName(QStringLiteral("stepList"));
    m_codes->setObjectName(QStringLiteral("codeList"));
    m_tree->header()->hide();
    m_tree->setColumnCount(1);
    for (size_t i = 0; i < kActionTreeRows.size(); ++i) {
        const ActionTreeRow& row = kActionTreeRows[i];
        auto* item = row.parent < 0 ? new QTreeWidgetItem(m_tree)
                                    : new QTreeWidgetItem(m_rows[static_cast<size_t>(row.parent)]);
        item->setText(0, QString::fromUtf8(row.text));
        item->setData(0, Qt::UserRole, static_cast<int>(i));
        m_rows[i] = item;
    }
    m_tree->expandAll();

    m_addStep->setText(QStringLiteral("+"));
    m_addStep->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_removeStep->setText(QStringLiteral("−"));
    m_removeStep->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_stepUp->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    m_stepDown->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    m_addCode->setText(QStringLiteral("+"));
    m_addCode->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_removeCode->setText(QStringLiteral("−"));
    m_removeCode->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_addStep->setMenu(m_commandMenu);
    m_addStep->setPopupMode(QToolButton::InstantPopup);
    m_addCode->setMenu(m_codeMenu);
    m_addCode->setPopupMode(QToolButton::InstantPopup);

    auto* treeColumn = new QVBoxLayout;
    treeColumn->addWidget(new QLabel(QStringLiteral("Действия Velmora"), this));
    treeColumn->addWidget(m_tree, 1);

    auto* stepButtons = new QHBoxLayout;
    for (QToolButton* b : {m_addStep, m_removeStep, m_stepUp, m_stepDown})
        stepButtons->addWidget(b);
    stepButtons->addStretch(1);
    auto* codeButtons = new QHBoxLayout;
    codeButtons->addWidget(m_addCode);
    codeButtons->addWidget(m_removeCode);
    codeButtons->addStretch(1);

    auto* listsColumn = new QVBoxLayout;
    listsColumn->addWidget(new QLabel(QStringLiteral("Выполняет комманды"), this));
    listsColumn->addWidget(m_steps, 3);
    listsColumn->addLayout(stepButtons);
    listsColumn->addWidget(new QLabel(QStringLiteral("Игнорировать исключения"), this));
    listsColumn->addWidget(m_codes, 2);
    listsColumn->addLayout(codeButtons);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(treeColumn, 1);
    layout->addLayout(listsColumn, 1);

    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        const int row = item ? item->data(0, Qt::UserRole).toInt() : -1;
        showList(row >= 0 ? kActionTreeRows[static_cast<size_t>(row)].list : -1);
    });
    connect(m_steps, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            showStep(row);
    });
    connect(m_steps, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            m_model.setStepEnabled(m_list, m_steps->row(item), item->checkState() == Qt::Checked);
    });
    connect(m_codes, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_filling)
            m_removeCode->setEnabled(row >= 0);
    });
    connect(m_removeStep, &QToolButton::clicked, this, &ActionsPage::removeStep);
    connect(m_stepUp, &QToolButton::clicked, this, &ActionsPage::moveStepUp);
    connect(m_stepDown, &QToolButton::clicked, this, &ActionsPage::moveStepDown);
    connect(m_removeCode, &QToolButton::clicked, this, &ActionsPage::removeCode);
    fill();
}

void ActionsPage::fill() {
    // Selecting the row again shows the freshly loaded list.
    m_tree->setCurrentItem(nullptr);
    selectRow(0);
}

void ActionsPage::selectRow(int row) {
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size())
        m_tree->setCurrentItem(m_rows[static_cast<size_t>(row)]);
}

void ActionsPage::enter() {
    std::string error;
    if (!m_model.collectErrorTable(error))
        tell(error, app::MessageKind::Error);

    m_commandMenu->clear();
    const protocol::TprCOMMANDS& commands = m_model.description().Commands;
    for (size_t i = 0; i < commands.Count(); ++i) {
        const int command = static_cast<int>(i);
        m_commandMenu->addAction(menuText(commands[i].Name), this, [this, command] { addStep(command); });
    }
    m_codeMenu->clear();
    for (const protocol::TPrException& e : m_model.description().Exceptions) {
        const int32_t code = e.Code;
        m_codeMenu->addAction(menuText("<" + std::to_string(code) + "> " + e.Text), this,
                              [this, code] { addCode(code); });
    }
    if (m_list >= 0) {
        m_model.dropStepsWithoutCommand(m_list);
        fillSteps(std::min(m_steps->currentRow(), m_steps->count() - 1));
    }
}

void ActionsPage::showList(int list) {
    m_list = list;
    const bool isList = list >= 0;
    m_steps->setEnabled(isList);
    m_addStep->setEnabled(isList);
    m_stepUp->setEnabled(isList);
    m_stepDown->setEnabled(isList);
    if (!isList) {
        m_filling = true;
        m_steps->clear();
        m_filling = false;
        m_removeStep->setEnabled(false);
        clearCodes();
        return;
    }
    m_model.dropStepsWithoutCommand(list);
    fillSteps(-1);
}

void ActionsPage::fillSteps(int select) {
    const protocol::TProtocol& p = m_model.description();
    const protocol::TVLMAction& a = p.ActionLists[static_cast<size_t>(m_list)];
    m_filling = true;
    m_steps->clear();
    // A list read from a file may have per-step lists of unequal length; only whole steps show.
    const size_t steps = std::min({static_cast<size_t>(std::max(a.StepCount, 0)), a.StepCommands.size(),
                                   a.StepEnabled.size(), a.StepIgnoreLists.size()});
    for (size_t s = 0; s < steps; ++s) {
        const int32_t command = a.StepCommands[s];
        const bool known = command >= 0 && static_cast<size_t>(command) < p.Commands.Count();
        auto* item = new QListWidgetItem(
            known ? qt(p.Commands[static_cast<size_t>(command)].Name) : QString(), m_steps);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(a.StepEnabled[s] ? Qt::Checked : Qt::Unchecked);
    }
    m_steps->setCurrentRow(select);
    m_filling = false;
    m_removeStep->setEnabled(m_steps->count() > 0);
    showStep(select);
}

void ActionsPage::showStep(int step) {
    if (step < 0) {
        clearCodes();
        return;
    }
    m_codes->setEnabled(true);
    m_addCode->setEnabled(true);
    fillCodes(-1);
}

void ActionsPage::fillCodes(int select) {
    m_filling = true;
    m_codes->clear();
    for (const std::string& line : m_model.stepIgnoreCodes(m_list, m_steps->currentRow()))
        m_codes->addItem(qt(line));
    m_codes->setCurrentRow(select);
    m_filling = false;
    m_removeCode->setEnabled(m_codes->currentRow() >= 0);
}

void ActionsPage::clearCodes() {
    m_filling = true;
    m_codes->clear();
    m_filling = false;
    m_codes->setEnabled(false);
    m_addCode->setEnabled(false);
    m_removeCode->setEnabled(false);
}

void ActionsPage::addStep(int command) {
    const protocol::EditResult r = m_model.addStep(m_list, command);
    if (!r.ok) {
        tell(r.message, app::MessageKind::Warning);
        return;
    }
    fillSteps(m_model.description().ActionLists[static_cast<size_t>(m_list)].StepCount - 1);
}

void ActionsPage::removeStep() {
    const int step = m_steps->currentRow();
    if (m_list < 0 || step < 0)
        return;
    if (!ask("Вы точно хотите убрать комманду: " + utf8(m_steps->item(step)->text())))
        return;
    m_model.removeStep(m_list, step);
    const int count = m_model.description().ActionLists[static_cast<size_t>(m_list)].StepCount;
    fillSteps(std::min(step, count - 1));
}

void ActionsPage::moveStepUp() {
    const int step = m_steps->currentRow();
    if (m_model.moveStepUp(m_list, step))
        fillSteps(step - 1);
}

void ActionsPage::moveStepDown() {
    const int step = m_steps->currentRow();
    if (m_model.moveStepDown(m_list, step))
        fillSteps(step + 1);
}

void ActionsPage::addCode(int32_t code) {
    const protocol::EditResult r = m_model.addIgnoreCode(m_list, m_steps->currentRow(), code);
    if (!r.ok) {
        tell(r.message, app::MessageKind::Warning);
        return;
    }
    fillCodes(m_codes->count());
}

void ActionsPage::removeCode() {
    const int step = m_steps->currentRow();
    const int position = m_codes->currentRow();
    if (m_list < 0 || step < 0 || position < 0)
        return;
    const protocol::TProtocol& p = m_model.description();
    const protocol::TIgnoreList* list =
        protocol::stepIgnoreList(p, p.ActionLists[static_cast<size_t>(m_list)], step);
    if (!list || static_cast<size_t>(position) >= list->Codes.size())
        return;
    const int32_t code = list->Codes[static_cast<size_t>(position)];
    const int32_t entry = protocol::FindException(p.Exceptions, code);
    const std::string text = entry >= 0 ? p.Exceptions[static_cast<size_t>(entry)].Text : std::string();
    if (!ask("Вы точно не хотите игнорировать исключение:\r#" + std::to_string(code) + "- <" + text + ">"))
        return;
    m_model.removeIgnoreCode(m_list, step, position);
    fillCodes(std::min(position, m_codes->count() - 2));
}

bool ActionsPage::ask(const std::string& text) {
    return m_messages.showMessage("Подтверждение", text, app::MessageKind::Question);
}

void ActionsPage::tell(const std::string& text, app::MessageKind kind) {
    m_messages.showMessage(kind == app::MessageKind::Error ? "Ошибка" : "Внимание", text, kind);
}

} // namespace app::ui::editor
