#pragma once
// The dump grid's model: rows of 16 bytes of the memory image, drawn on demand from the image (nothing
// is copied). Column 0 is the address, 1..16 the bytes in hexadecimal, 17 an empty spacer, 18 the
// row's bytes as code page 1251 text with control characters and the unassigned 0x98 shown as ".".

#include "image/hex_file.h"

#include <QAbstractTableModel>

namespace app::ui {

class DumpModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kAddressColumn = 0;
    static constexpr int kFirstByteColumn = 1;
    static constexpr int kSpacerColumn = 17;
    static constexpr int kTextColumn = 18;
    static constexpr int kColumnCount = 19;

    // `image` is borrowed and must outlive the model.
    explicit DumpModel(image::THEXFile& image, QObject* parent = nullptr);

    // Shows image rows first .. last (16 bytes each, last >= first).
    void setRows(int first, int last);
    int firstRow() const { return m_first; }
    int lastRow() const { return m_last; }
    // The image address of a byte cell, or -1 for other cells.
    int addressOf(const QModelIndex& index) const;
    // The model row showing `address`, or -1 when it is outside the rows shown.
    int rowOf(int address) const;

    // Byte cells become editable.
    void setEditable(bool editable);
    bool editable() const { return m_editable; }
    // While locked (a device operation runs) no cell can be edited, whatever setEditable said.
    void setLocked(bool locked);
    // The image changed: repaint every cell.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A byte cell's edited text: trimmed; text that is not hexadecimal ("G1") is ignored; a value that
    // differs from the byte is stored, the byte marked filled, and byteEdited emitted.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    void byteEdited(int address);

  private:
    image::THEXFile& m_image;
    int m_first = 0;
    int m_last = 0;
    bool m_editable = false;
    bool m_locked = false;
};

// The character the text column shows for a byte.
QChar dumpTextChar(unsigned char byte);

} // namespace app::ui
