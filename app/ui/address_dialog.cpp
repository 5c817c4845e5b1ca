#include "app/ui/address_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace app::ui {

AddressDialog::AddressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_field(new QLineEdit(this)) {
    setObjectName(QStringLiteral("AddressDialog"));
    setModal(true);
    setWindowTitle(QStringLiteral("Загрузка по адресу"));
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(new QLabel(QStringLiteral("Введите адрес:"), this), 0, 0);
    layout->addWidget(m_field, 0, 1);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons, 1, 0, 1, 2);
    // The fixed size of the window, grown only when the desktop's font needs more room.
    setFixedSize(sizeHint().expandedTo(QSize(270, 69)));
}

std::optional<QString> AddressDialog::ask(const QString& caption) {
    setWindowTitle(caption);
    m_field->clear();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_field->text();
}

void AddressDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_field->setFocus(Qt::OtherFocusReason);
}

} // namespace app::ui
