#pragma once
// The "Исключения" page of the protocol editor: the grid of device error codes and their texts,
// always ending with one empty row. Every edit goes to the model's grid, whose row rules decide
// which rows stay; the table then shows the grid again.

#include "protocol/protocol_editor_model.h"

#include <QWidget>

class QTableWidget;

namespace app::ui::editor {

class ErrorTextPage : public QWidget {
    Q_OBJECT

  public:
    // `model` is borrowed and must outlive the page.
    explicit ErrorTextPage(protocol::ProtocolEditorModel& model, QWidget* parent = nullptr);

    // Shows the model's grid.
    void fill();
    // Sets a cell as typing would (column 0 code, 1 text) and shows the grid again at once.
    void editCell(int row, int column, const QString& text);

    QTableWidget* table() const { return m_table; }

  private:
    void cellEdited(int row, int column);
    // Shows the grid; the current cell follows its row when rows above it went away.
    void showGrid();

    protocol::ProtocolEditorModel& m_model;
    QTableWidget* m_table;
    bool m_filling = false;
    bool m_refreshQueued = false;
};

} // namespace app::ui::editor
