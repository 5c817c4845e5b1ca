#include "app/ui/protocol_editor/error_text_page.h"

#include "app/ui/protocol_editor/editor_text.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace app::ui::editor {

namespace {
constexpr int kCodeWidth = 46;
constexpr int kTextWidth = 361;
} // namespace

ErrorTextPage::ErrorTextPage(protocol::ProtocolEditorModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_table(new QTableWidget(0, 2, this)) {
    m_table->setObjectName(QStringLiteral("errorGrid"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Код"), QStringLiteral("Описание")});
    m_table->setColumnWidth(0, kCodeWidth);
    m_table->setColumnWidth(1, kTextWidth);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);

    connect(m_table, &QTableWidget::cellChanged, this, [this](int row, int column) {
        if (!m_filling)
            cellEdited(row, column);
    });
    fill();
}

void ErrorTextPage::fill() {
    m_refreshQueued = false;
    m_table->setCurrentCell(-1, -1);
    showGrid();
}

void ErrorTextPage::editCell(int row, int column, const QString& text) {
    QTableWidgetItem* item = m_table->item(row, column);
    if (!item)
        return;
    item->setText(text); // cellChanged applies it
    if (m_refreshQueued) {
        m_refreshQueued = false;
        showGrid();
    }
}

void ErrorTextPage::cellEdited(int row, int column) {
    if (m_model.errorGrid().editCell(row, column, utf8(m_table->item(row, column)->text())) < 0)
        return;
    // The edited item is still inside its own change notification; the rows are rebuilt after it.
    if (!m_refreshQueued) {
        m_refreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            if (!m_refreshQueued)
                return;
            m_refreshQueued = false;
            showGrid();
        });
    }
}

void ErrorTextPage::showGrid() {
    const std::vector<protocol::ErrorGridRow>& rows = m_model.errorGrid().rows();
    // Where the current row lands: the grid only drops empty rows and adds or drops the empty last
    // one, so the rows still shown keep their order.
    const int current = m_table->currentRow();
    int landed = -1;
    if (current >= 0) {
        size_t j = 0;
        for (int i = 0; i <= current && i < m_table->rowCount(); ++i) {
            const protocol::ErrorGridRow shown{
                utf8(m_table->item(i, 0) ? m_table->item(i, 0)->text() : QString()),
                utf8(m_table->item(i, 1) ? m_table->item(i, 1)->text() : QString())};
            const bool kept = j < rows.size() && rows[j] == shown;
            if (i == current)
                landed = static_cast<int>(std::min(j, rows.size() - 1));
            if (kept)
                ++j;
        }
    }

    m_filling = true;
    m_table->setRowCount(static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        const int row = static_cast<int>(r);
        for (int column = 0; column < 2; ++column) {
            const QString text = qt(column == 0 ? rows[r].code : rows[r].text);
            if (QTableWidgetItem* item = m_table->item(row, column))
                item->setText(text);
            else
                m_table->setItem(row, column, new QTableWidgetItem(text));
        }
    }
    m_filling = false;
    if (landed >= 0 && landed != m_table->currentRow())
        m_table->setCurrentCell(landed, std::max(0, m_table->currentColumn()));
}

} // namespace app::ui::editor
