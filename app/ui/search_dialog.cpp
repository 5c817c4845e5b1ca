#include "app/ui/search_dialog.h"
#include "app/ui/qt_text.h"

#include "app/integer_text.h"

#include <QBoxLayout>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

namespace app::ui {

namespace {
constexpr int kTickMs = 25;
} // namespace

SearchDialog::SearchDialog(exchange::DeviceHost& host, app::SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_search(host), m_store(store), m_timer(new QTimer(this)),
      m_grid(new QTableWidget(1, 4, this)),
      m_setAddress(new QPushButton(QStringLiteral("Установить адресата"), this)),
      m_cancel(new QPushButton(QStringLiteral("Отмена"), this)), m_restart(new QToolButton(this)),
      m_progressPanel(new QWidget(this)), m_progressBar(new QProgressBar(m_progressPanel)),
      m_progressLabel(new QLabel(QStringLiteral("0%"), m_progressPanel)) {
    setWindowTitle(QStringLiteral("Поиск MODBUS-RTU cовместимых устройств"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Поиск устройств"), this));

    m_grid->setHorizontalHeaderLabels({QStringLiteral("Адр."), QStringLiteral("Тип"), QStringLiteral("Сер.№"),
                                       QStringLiteral("Строка идентификации")});
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(0, 44);
    m_grid->setColumnWidth(1, 44);
    m_grid->setColumnWidth(2, 56);
    layout->addWidget(m_grid, 1);

    auto* progress = new QHBoxLayout(m_progressPanel);
    progress->setContentsMargins(0, 0, 0, 0);
    m_progressBar->setRange(0, 100);
    progress->addWidget(m_progressBar, 1);
    progress->addWidget(m_progressLabel);
    layout->addWidget(m_progressPanel);

    auto* buttons = new QHBoxLayout;
    m_restart->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    buttons->addWidget(m_restart);
    buttons->addStretch(1);
    buttons->addWidget(m_setAddress);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    m_setAddress->setDefault(true);
    m_setAddress->setEnabled(false);
    resize(420, 300);

    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &SearchDialog::tick);
    connect(m_restart, &QToolButton::clicked, this, &SearchDialog::startSearch);
    connect(m_setAddress, &QPushButton::clicked, this, &SearchDialog::chooseAddress);
    connect(m_cancel, &QPushButton::clicked, this, &SearchDialog::reject);
}

QString SearchDialog::progressText() const {
    return m_progressLabel->text();
}

void SearchDialog::startSearch() {
    if (!m_search.start()) {
        hide();
        return;
    }
    show();
    m_progressBar->setValue(0);
    m_progressLabel->setText(QStringLiteral("0%"));
    m_progressPanel->show();
    m_grid->clearContents();
    m_grid->setRowCount(1);
    m_setAddress->setEnabled(false);
    m_restart->setEnabled(false);
    m_timer->start();
}

void SearchDialog::tick() {
    m_search.tick();
    fillGrid();
    m_progressBar->setValue(m_search.progress());
    m_progressLabel->setText(qt(m_search.progressText()));
    if (!m_search.running())
        stopSearch();
}

void SearchDialog::stopSearch() {
    m_timer->stop();
    m_progressPanel->hide();
    m_restart->setEnabled(true);
    m_setAddress->setEnabled(!m_search.devices().empty());
}

void SearchDialog::fillGrid() {
    const auto& devices = m_search.devices();
    if (devices.empty())
        return;
    m_grid->setRowCount(static_cast<int>(devices.size()));
    for (size_t i = 0; i < devices.size(); ++i) {
        const exchange::FoundDevice& d = devices[i];
        const int row = static_cast<int>(i);
        const QString cells[4] = {qt(d.addressText), qt(d.addressText), QString::number(d.serialNumber),
                                  qt(d.identText)};
        for (int c = 0; c < 4; ++c)
            if (!m_grid->item(row, c) || m_grid->item(row, c)->text() != cells[c])
                m_grid->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    if (m_grid->currentRow() < 0)
        m_grid->selectRow(0);
}

void SearchDialog::chooseAddress() {
    const int row = m_grid->currentRow();
    const QTableWidgetItem* item = row >= 0 ? m_grid->item(row, 0) : nullptr;
    if (!item)
        return;
    const std::optional<std::int32_t> value = app::parseInteger(item->text().toStdString());
    if (!value)
        return;
    m_store.writeInteger(app::Setting::SearchDevAddress, *value);
    const std::int32_t address = m_store.readInteger(app::Setting::SearchDevAddress);
    if (onAddressChosen)
        onAddressChosen(address);
    accept();
}

void SearchDialog::closeEvent(QCloseEvent* event) {
    if (m_search.running()) {
        m_search.cancel();
        stopSearch();
        m_setAddress->setEnabled(true);
    }
    QDialog::reject();
    event->accept();
}

void SearchDialog::reject() {
    if (m_search.running()) {
        m_search.cancel();
        stopSearch();
        m_setAddress->setEnabled(true);
        return;
    }
    QDialog::reject();
}

} // namespace app::ui
