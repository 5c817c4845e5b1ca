#include "app/ui/version_panel.h"

#include "image/hex_text.h"
#include "protocol/codepage.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
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

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->setVerticalSpacing(0);
    grid->addWidget(m_damaged, 0, 0);
    grid->addWidget(m_owner, 0, 1);
    grid->addWidget(m_version, 0, 2, Qt::AlignRight);
    grid->addWidget(m_details, 1, 0, 1, 2);
    auto* hwidRow = new QGridLayout;
    hwidRow->addWidget(new QLabel(QStringLiteral("HWID идентификатор:"), this), 0, 0);
    hwidRow->addWidget(m_hwid, 0, 1);
    grid->addLayout(hwidRow, 1, 2);
    // Choosing any identifier shows the record's own again.
    connect(m_hwid, &QComboBox::activated, this, [this] { m_hwid->setCurrentIndex(0); });
    hide();
}

void VersionPanel::showImage(const image::TDUMPVersionedFile& image, bool expanded) {
    if (image.VersionPos < 0) {
        hide();
        return;
    }
    const image::TVersionRecord& r = image.Version;
    m_owner->setText(QString::fromStdString(protocol::cp1251ToUtf8(r.Owner())));
    m_version->setText(QString::fromStdString(image::VersionText(r)));
    m_details->setText(
        QStringLiteral("Размер образа: %1   CRC32 образа: %2\nSWID идентификатор: %3   ревизия: %4   "
                       "платформа: %5")
            .arg(r.ImageSize())
            .arg(QString::fromStdString(image::DWordToHex0x(r.ImageCRC())))
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
    m_details->setVisible(expanded);
    m_hwid->setVisible(expanded);
    setFixedHeight(expanded ? kExpandedHeight : kCollapsedHeight);
    show();
}

void VersionPanel::mousePressEvent(QMouseEvent* event) {
    if (event->position().y() < kTitleHeight)
        emit titleClicked();
    QFrame::mousePressEvent(event);
}

} // namespace app::ui
