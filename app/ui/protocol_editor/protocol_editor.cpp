#include "app/ui/protocol_editor/protocol_editor.h"

#include "app/ui/crc_panel.h"
#include "app/ui/protocol_editor/actions_page.h"
#include "app/ui/protocol_editor/commands_page.h"
#include "app/ui/protocol_editor/editor_text.h"
#include "app/ui/protocol_editor/error_text_page.h"
#include "protocol/vpdf_reader.h"

#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <filesystem>

namespace app::ui::editor {

namespace {

constexpr std::array<const char*, 5> kPageTexts = {"Общие", "Комманды", "Действия", "CRC фрейма",
                                                   "Исключения"};
constexpr std::string_view kErrorTitle = "Ошибка";

std::filesystem::path filePath(const QString& path) {
    return std::filesystem::path(utf8(path));
}

} // namespace

ProtocolEditor::ProtocolEditor(app::MessageSink& messages, QWidget* parent)
    : QDialog(parent), m_messages(messages), m_pageGroup(new QButtonGroup(this)),
      m_pages(new QStackedWidget(this)), m_comment(new QPlainTextEdit(this)),
      m_commands(new CommandsPage(m_model, messages, this)),
      m_actions(new ActionsPage(m_model, messages, this)), m_crc(new app::ui::CrcPanel(this)),
      m_errors(new ErrorTextPage(m_model, this)), m_save(new QPushButton(QStringLiteral("Сохранить"), this)),
      m_cancel(new QPushButton(QStringLiteral("Отмена"), this)),
      m_saveAs(new QPushButton(QStringLiteral("Сохранить как..."), this)) {
    setWindowTitle(QStringLiteral("Настройки программы"));
    setObjectName(QStringLiteral("TForm10"));
    m_comment->setObjectName(QStringLiteral("comment"));

    auto* header = new QLabel(QStringLiteral("Настройки протокола обмена данными с устройтвом"), this);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);

    auto* general = new QWidget(this);
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(new QLabel(QStringLiteral("Описание протокола"), general));
    generalLayout->addWidget(m_comment, 1);

    // The CRC page holds the panel at its natural height.
    auto* crcPage = new QWidget(this);
    auto* crcLayout = new QVBoxLayout(crcPage);
    crcLayout->addWidget(m_crc);
    crcLayout->addStretch(1);
    m_crc->setMessageHandler([this](const QString& message) {
        m_messages.showMessage(kErrorTitle, utf8(message), app::MessageKind::Error);
    });

    auto* pageButtons = new QHBoxLayout;
    pageButtons->setSpacing(2);
    const std::array<QWidget*, 5> pages = {general, m_commands, m_actions, crcPage, m_errors};
    for (size_t i = 0; i < pages.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromUtf8(kPageTexts[i]));
        button->setCheckable(true);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setMinimumWidth(90);
        m_pageGroup->addButton(button, static_cast<int>(i));
        m_pageButtons[i] = button;
        pageButtons->addWidget(button);
        m_pages->addWidget(pages[i]);
    }
    pageButtons->addStretch(1);
    connect(m_pageGroup, &QButtonGroup::idClicked, this, [this](int id) { showPage(static_cast<Page>(id)); });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_saveAs);
    bottom->addStretch(1);
    bottom->addWidget(m_save);
    bottom->addWidget(m_cancel);
    m_save->setDefault(true);
    m_save->setAutoDefault(true);
    m_cancel->setAutoDefault(false);
    m_saveAs->setAutoDefault(false);
    connect(m_save, &QPushButton::clicked, this, &ProtocolEditor::save);
    connect(m_saveAs, &QPushButton::clicked, this, &ProtocolEditor::saveAs);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(header);
    layout->addLayout(pageButtons);
    layout->addWidget(m_pages, 1);
    layout->addLayout(bottom);
    resize(760, 520);
    fillPages();
}

ProtocolEditor::~ProtocolEditor() = default;

int ProtocolEditor::LoadIntoEditor(const QString& path) {
    const int result = m_model.LoadIntoEditor(filePath(path));
    fillPages();
    return result;
}

int ProtocolEditor::editFile(const QString& path, app::MessageSink& messages, QWidget* parent) {
    ProtocolEditor editor(messages, parent);
    switch (editor.LoadIntoEditor(path)) {
    case protocol::kReadDamaged:
        messages.showMessage(kErrorTitle, "Испорчен файл описания протокола", app::MessageKind::Error);
        return -1;
    case protocol::kReadUnreadable:
        messages.showMessage(kErrorTitle, "Не могу прочитать файл описания протокола: " + utf8(path),
                             app::MessageKind::Error);
        return -1;
    default:
        return editor.exec();
    }
}

void ProtocolEditor::fillPages() {
    const protocol::TProtocol& p = m_model.description();
    m_comment->setPlainText(fieldText(p.Comment));
    m_commands->fill();
    m_errors->fill();
    m_crc->showGenerator(p.CRCGenerator);
    m_actions->fill();
    showPage(General);
    m_save->setEnabled(m_model.canSave());
}

void ProtocolEditor::showPage(Page page) {
    m_pageButtons[static_cast<size_t>(page)]->setChecked(true);
    m_pages->setCurrentIndex(static_cast<int>(page));
    if (page == Actions)
        m_actions->enter();
}

ProtocolEditor::Page ProtocolEditor::currentPage() const {
    return static_cast<Page>(m_pages->currentIndex());
}

bool ProtocolEditor::save() {
    m_model.setComment(storedText(m_comment->toPlainText()));
    if (!finishSave(m_model.save(m_crc->values())))
        return false;
    accept();
    return true;
}

bool ProtocolEditor::saveAs() {
    const QString path = m_choosePath ? m_choosePath() : askSavePath();
    if (path.isEmpty())
        return false;
    m_model.setComment(storedText(m_comment->toPlainText()));
    if (!finishSave(m_model.saveAs(filePath(path), m_crc->values())))
        return false;
    m_save->setEnabled(true);
    return true;
}

bool ProtocolEditor::finishSave(const protocol::EditResult& result) {
    if (!result.ok)
        m_messages.showMessage(kErrorTitle, result.message, app::MessageKind::Error);
    return result.ok;
}

QString ProtocolEditor::askSavePath() {
    QFileDialog dialog(this, QStringLiteral("Сохранить как..."));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("vpdf"));
    dialog.setNameFilter(QStringLiteral("VLM protocol desc. file (*.vpdf)"));
    if (!m_model.currentPath().empty())
        dialog.selectFile(qt(m_model.currentPath().string()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace app::ui::editor
