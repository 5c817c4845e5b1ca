#include "app/ui/splash_window.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace app::ui {

namespace {
constexpr int kWidth = 402;
constexpr int kHeight = 431;
constexpr int kCloseAfterMs = 1000;
} // namespace

SplashWindow::SplashWindow(QString versionText, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_version(std::move(versionText)) {
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_DeleteOnClose);
}

void SplashWindow::showNow() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    repaint();
    QApplication::processEvents();
    QTimer::singleShot(kCloseAfterMs, this, &QWidget::close);
}

void SplashWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, QColor(18, 52, 86));
    sky.setColorAt(1, QColor(6, 20, 36));
    p.fillRect(rect(), sky);

    // A stylised bus line with three devices on it.
    p.setPen(QPen(QColor(120, 190, 255), 3));
    p.drawLine(40, 230, kWidth - 40, 230);
    for (int i = 0; i < 3; ++i) {
        const int x = 80 + i * 120;
        p.drawLine(x, 230, x, 190);
        p.setBrush(QColor(40, 90, 140));
        p.drawRoundedRect(x - 30, 140, 60, 50, 6, 6);
        p.setBrush(QColor(140, 230, 140));
        p.drawEllipse(QPoint(x + 18, 152), 4, 4);
    }

    QFont title = font();
    title.setPixelSize(48);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 40, kWidth, 80), Qt::AlignCenter, QStringLiteral("Velmora"));

    QFont label = font();
    label.setPixelSize(13);
    label.setBold(true);
    p.setFont(label);
    p.drawText(12, 324 + 13, QStringLiteral("version ") + m_version);
}

} // namespace app::ui
