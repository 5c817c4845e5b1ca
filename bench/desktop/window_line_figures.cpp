// Time of one device operation in the main window, from the menu action to its end, with the Qt event
// loop running as for a person at the window. Prints the seconds and the processor time the program
// used meanwhile (how much of the time is the window's own work rather than waiting for the line); the
// wire time of the same bytes is worked out by scripts/window-line-bench.sh from the simulator's log.
//   window_line_figures SETTINGS FIRMWARE read|write

#include "app/ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

struct NoBoxes : app::MessageSink {
    bool showMessage(std::string_view, std::string_view text, app::MessageKind) override {
        std::fprintf(stderr, "message: %.*s\n", static_cast<int>(text.size()), text.data());
        return true;
    }
};

// Runs the event loop until the window's device operation has ended.
void waitForTheEnd(app::ui::MainWindow& window) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!window.sequencer().paging())
            loop.quit();
    });
    poll.start(2);
    if (window.sequencer().paging())
        loop.exec();
}

// Processor time this process has used, user and system, in seconds.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4 || (std::strcmp(argv[3], "read") != 0 && std::strcmp(argv[3], "write") != 0)) {
        std::fprintf(stderr, "usage: window_line_figures SETTINGS FIRMWARE read|write\n");
        return 2;
    }
    NoBoxes boxes;
    app::ui::MainWindow window(app::CommandLine({}), argv[1], &boxes);
    window.resize(565, 760);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000))
        std::fprintf(stderr, "window not exposed\n");
    if (!window.files().openFile(argv[2])) {
        std::fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    QCoreApplication::processEvents();

    QAction* action = window.action(std::strcmp(argv[3], "read") == 0 ? "DevRead" : "DevWrite");
    QElapsedTimer t;
    const double cpuBefore = cpuSeconds();
    t.start();
    action->trigger();
    waitForTheEnd(window);
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    if (window.sequencer().outcome() != exchange::OperationSequencer::Outcome::Completed) {
        std::fprintf(stderr, "the %s did not complete\n", argv[3]);
        return 1;
    }
    std::printf("%.3f %.3f\n", seconds, cpu);
    return 0;
}
