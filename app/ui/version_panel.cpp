#include "app/ui/version_panel.h"

#include "base/codepage.h"
#include "image/hex_text.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>

namespace app::ui {

VersionPanel::VersionPanel(QWidget* parent)
    : QFrame(parent), m_owner(new QLabel(this)), m_version(new QLabel(this)),
      m_damaged(new QLabel(QStringLiteral("ИСПОРЧЕН"), this)), m_details(new QLabel(this)),
      m_hwid(new QComboBox(this)) {
    setAutoFillBackground(true);
    setFrameShape(QFrame::StyledPanel);
    QFont bold = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    bold.setBold(true);
    m_owner->setFont(bold);
    m_owner->setAlignment(Qt::AlignCenter);
    m_damaged->setStyleSheet(QStringLiteral("color: white; font-weight: bold;"));
    m_damaged->hide();

    // Title strip: damaged label, owner (centred), version. Below: size and CRC with the identifier
    // list, then SWID, revision and platform.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 0, 4, 2);
    column->setSpacing(0);
    auto* title = new QHBoxLayout;
    title->addWidget(m_damaged);
    title->addWidget(m_owner, 1);
    title->addWidget(m_version);
    column->addLayout(title);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_details);
    sizeRow->addStretch(1);
    m_hwidLabel = new QLabel(QStringLiteral("HWID идентификатор:"), this);
    sizeRow->addWidget(m_hwidLabel);
    sizeRow->addWidget(m_hwid);
    column->addLayout(sizeRow);
    m_ids = new QLabel(this);
    auto* idRow = new QHBoxLayout;
    idRow->addWidget(m_ids);
    idRow->addStretch(1);
    column->addLayout(idRow);
    // The body has to fit 75 - 22 pixels in two rows.
    QFont body = font();
    body.setPixelSize(11);
    for (QWidget* w : {static_cast<QWidget*>(m_details), static_cast<QWidget*>(m_ids),
                       static_cast<QWidget*>(m_hwidLabel), static_cast<QWidget*>(m_hwid)})
        w->setFont(body);
    m_hwid->setFixedHeight(20);
    // Choosing any identifier shows the record's own again.
    connect(m_hwid, &QComboBox::activated, this, [this] { m_hwid->setCurrentIndex(0); });
    hide();
}

void VersionPanel::showImage(const image::TDUMPVersionedFile& image, bool expanded) {
    if (image.VersionPos < 0) {
        hide();
        return;
    }
    const image::VersionRecord& r = image.Version;
    m_owner->setText(QString::fromStdString(base::cp1251ToUtf8(r.Owner())));
    m_version->setText(QString::fromStdString(image::VersionText(r)));
    m_details->setText(QStringLiteral("Размер образа: %1   CRC32 образа: %2")
                           .arg(r.ImageSize())
                           .arg(QString::fromStdString(image::DWordToHex0x(r.ImageCRC()))));
    m_ids->setText(QStringLiteral("SWID идентификатор: %1   ревизия: %2   платформа: %3")
                       .arg(QString::fromStdString(image::DWordToHex0x(image.SWID())))
                       .arg(r.HWID() & 0xF)
                       .arg((r.HWID() & 0xF0) >> 4));
    m_hwid->clear();
    m_hwid->addItem(QString::fromStdString(image::WordToHex0x(r.HWID())));
    for (std::uint16_t id : image.CList)
        m_hwid->addItem(QString::fromStdString(image::WordToHex0x(id)));

    const bool damaged = image.Damaged();
    QPalette pal = palette();
    pal.setColor(QPalette::Window, damaged ? QColor(255, 0, 0) : QColor(Qt::white));
    setPalette(pal);
    m_damaged->setVisible(damaged);
    for (QWidget* w : {static_cast<QWidget*>(m_details), static_cast<QWidget*>(m_ids),
                       static_cast<QWidget*>(m_hwidLabel), static_cast<QWidget*>(m_hwid)})
        w->setVisible(expanded);
    setFixedHeight(expanded ? kExpandedHeight : kCollapsedHeight);
    show();
}

void VersionPanel::mousePressEvent(QMouseEvent* event) {
    if (event->position().y() < kTitleHeight)
        emit titleClicked();
    QFrame::mousePressEvent(event);
}

} // namespace app::ui
