#include "shots.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtTest>

#include <cstdio>
#include <map>
#include <string>

namespace shots {

std::map<std::string, ShotFunction>& registry() {
    static std::map<std::string, ShotFunction> groups;
    return groups;
}

Registration::Registration(const char* group, ShotFunction run) {
    registry()[group] = run;
}

void settle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

std::string userFile(const Context& ctx, const QString& name, const QString& source) {
    const QString path = QDir(ctx.homeDir).filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile::remove(path);
    if (!QFile::copy(source, path))
        std::fprintf(stderr, "cannot copy %s to %s\n", qPrintable(source), qPrintable(path));
    return path.toStdString();
}

std::string userProtocol(const Context& ctx) {
    return userFile(ctx, QStringLiteral("protocols/sim.vpdf"),
                    QDir(ctx.buildDir).filePath("examples/sim.vpdf"));
}

bool save(QWidget& widget, const QString& name, const Context& ctx) {
    QWidget* window = widget.window();
    if (!window->isVisible())
        window->show();
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window, 5000))
        std::fprintf(stderr, "%s: window not exposed, grabbing anyway\n", qPrintable(name));
    settle(300);
    // Taken from the screen, so the picture is what the X server shows, not a re-rendering.
    QPixmap picture;
    if (QScreen* screen = window->screen(); screen && window->windowHandle())
        picture = screen->grabWindow(window->winId());
    if (picture.isNull())
        picture = window->grab();
    const QString path = QDir(ctx.outDir).filePath(name + ".png");
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", qPrintable(name), qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace shots
