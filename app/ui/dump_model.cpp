#include "app/ui/dump_model.h"

#include "app/integer_text.h"
#include "base/codepage.h"

#include <QBrush>
#include <QColor>

namespace app::ui {

namespace {

constexpr int kBytesPerRow = 16;
const QColor kFilledRowColour(210, 210, 210);
const QColor kFilledByteColour(234, 234, 234);

} // namespace

QChar dumpTextChar(unsigned char byte) {
    if (byte < 0x20 || byte == 0x7F || byte == 0x98)
        return QChar('.');
    return QChar(static_cast<char16_t>(base::cp1251ToCodePoint(byte)));
}

DumpModel::DumpModel(image::THEXFile& image, QObject* parent) : QAbstractTableModel(parent), m_image(image) {}

void DumpModel::setRows(int first, int last) {
    const int maxRow = image::kMaxImageSize / kBytesPerRow - 1;
    first = std::clamp(first, 0, maxRow);
    last = std::clamp(last, first, maxRow);
    beginResetModel();
    m_first = first;
    m_last = last;
    endResetModel();
}

int DumpModel::addressOf(const QModelIndex& index) const {
    if (!index.isValid() || index.column() < kFirstByteColumn || index.column() >= kSpacerColumn)
        return -1;
    return (m_first + index.row()) * kBytesPerRow + index.column() - kFirstByteColumn;
}

int DumpModel::rowOf(int address) const {
    if (address < m_first * kBytesPerRow || address > m_last * kBytesPerRow + kBytesPerRow - 1)
        return -1;
    return address / kBytesPerRow - m_first;
}

void DumpModel::setEditable(bool editable) {
    if (editable == m_editable)
        return;
    m_editable = editable;
    refresh();
}

void DumpModel::setLocked(bool locked) {
    if (locked == m_locked)
        return;
    m_locked = locked;
    refresh();
}

void DumpModel::refresh() {
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1));
}

int DumpModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_last - m_first + 1;
}

int DumpModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant DumpModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int rowAddress = (m_first + index.row()) * kBytesPerRow;
    const int column = index.column();
    const bool byteCell = column >= kFirstByteColumn && column < kSpacerColumn;
    const int address = rowAddress + column - kFirstByteColumn;

    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (column == kAddressColumn)
            return QStringLiteral("%1").arg(rowAddress, 8, 16, QChar('0')).toUpper();
        if (byteCell)
            return QStringLiteral("%1")
                .arg(m_image.Data[static_cast<size_t>(address)], 2, 16, QChar('0'))
                .toUpper();
        if (column == kTextColumn) {
            QString text;
            text.reserve(kBytesPerRow);
            for (int i = 0; i < kBytesPerRow; ++i)
                text.append(dumpTextChar(m_image.Data[static_cast<size_t>(rowAddress + i)]));
            return text;
        }
        return {};
    case Qt::BackgroundRole:
        if (column == kAddressColumn) {
            for (int i = 0; i < kBytesPerRow; ++i)
                if (m_image.Filled[static_cast<size_t>(rowAddress + i)])
                    return QBrush(kFilledRowColour);
            return {};
        }
        if (byteCell && m_image.Filled[static_cast<size_t>(address)])
            return QBrush(kFilledByteColour);
        return {};
    case Qt::TextAlignmentRole:
        if (column == kAddressColumn)
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant DumpModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == kAddressColumn)
        return QStringLiteral("Адрес");
    if (section >= kFirstByteColumn && section < kSpacerColumn)
        return QString::number(section - kFirstByteColumn, 16).toUpper();
    if (section == kTextColumn)
        return QStringLiteral("Текст");
    return QString();
}

Qt::ItemFlags DumpModel::flags(const QModelIndex& index) const {
    if (addressOf(index) < 0)
        return Qt::ItemIsEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_editable && !m_locked)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DumpModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const int address = addressOf(index);
    if (role != Qt::EditRole || address < 0 || !m_editable || m_locked)
        return false;
    const QString text = value.toString().trimmed();
    if (text.isEmpty() || text.size() > 2)
        return false;
    const std::optional<std::int32_t> parsed = parseInteger("0x" + text.toStdString());
    if (!parsed || *parsed < 0 || *parsed > 0xFF)
        return false;
    const auto byte = static_cast<std::uint8_t>(*parsed);
    if (byte == m_image.Data[static_cast<size_t>(address)])
        return false;
    m_image.Data[static_cast<size_t>(address)] = byte;
    m_image.Filled[static_cast<size_t>(address)] = 1;
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), kColumnCount - 1));
    emit byteEdited(address);
    return true;
}

} // namespace app::ui
