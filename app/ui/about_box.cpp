#include "app/ui/about_box.h"

#include "app/program_version.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace app::ui {

namespace {

constexpr QSize kClientSize(485, 265);
constexpr QSize kPictureSize(113, 213);

const char* const kTerms =
    "Velmora читает, программирует, стирает и ищет устройства на шине MODBUS-RTU по описанию протокола, "
    "которое пользователь может изменить.\n\n"
    "Программа поставляется \"как есть\", без каких-либо гарантий. Перед записью в устройство "
    "сохраните его прежнее содержимое: за последствия записи неподходящей прошивки отвечает тот, "
    "кто её записывает.";

const char* const kContact = "https://velmora.example.org/support";

// A drawn picture rather than a bundled file: a device on a bus line, in the splash window's colours.
QPixmap picture() {
    QPixmap pixmap(kPictureSize);
    pixmap.fill(QColor(18, 52, 86));
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 190, 255), 3));
    p.drawLine(56, 120, 56, 200);
    p.setBrush(QColor(40, 90, 140));
    p.drawRoundedRect(16, 50, 80, 70, 8, 8);
    p.setBrush(QColor(140, 230, 140));
    p.drawEllipse(QPoint(80, 64), 5, 5);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPixelSize(16);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRect(0, 8, kPictureSize.width(), 30), Qt::AlignCenter, QStringLiteral("Velmora"));
    return pixmap;
}

} // namespace

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_title(new QLabel(this)) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("О программе"));
    setModal(true);

    auto* image = new QLabel(this);
    image->setPixmap(picture());
    image->setFixedSize(kPictureSize);

    m_title->setText(QStringLiteral("Velmora v") + QString::fromStdString(programVersionText()));
    m_title->setFrameShape(QFrame::StyledPanel);
    m_title->setAlignment(Qt::AlignCenter);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    auto* terms = new QPlainTextEdit(QString::fromUtf8(kTerms), this);
    terms->setReadOnly(true);

    auto* contact = new QLabel(this);
    contact->setText(QStringLiteral("Поддержка: <a href=\"%1\">%1</a>").arg(QLatin1String(kContact)));
    contact->setTextFormat(Qt::RichText);
    contact->setOpenExternalLinks(true); // the desktop's browser opens the link
    contact->setCursor(Qt::PointingHandCursor);

    auto* ok = new QPushButton(QStringLiteral("Ок"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* right = new QVBoxLayout;
    right->addWidget(m_title);
    right->addWidget(terms, 1);
    right->addWidget(contact);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ok);
    right->addLayout(bottom);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(image, 0, Qt::AlignTop);
    layout->addLayout(right, 1);
    setFixedSize(kClientSize.expandedTo(sizeHint()));
}

QString AboutBox::titleText() const {
    return m_title->text();
}

void AboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace app::ui
