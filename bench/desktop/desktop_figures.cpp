// Figures of the desktop program a person notices: time from start to a usable main window, memory in
// use with a full 8 MiB image loaded, and the time to repaint the dump after a load. Prints one line
// per figure; run by scripts/desktop-bench.sh under a virtual X server.

#include "app/ui/main_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

struct NoBoxes : app::MessageSink {
    bool showMessage(std::string_view, std::string_view, app::MessageKind) override { return true; }
};

// Resident memory of this process in KiB, from /proc.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return -1;
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string ini = (dir.path() + "/velmora.ini").toStdString();
    // A full image: 8 MiB of varied bytes, so nothing is skipped as blank.
    const std::string firmware = (dir.path() + "/full.bin").toStdString();
    {
        std::vector<char> bytes(8u << 20);
        std::mt19937 random(7);
        for (char& b : bytes)
            b = static_cast<char>(random() & 0x7F);
        std::ofstream(firmware, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    {
        std::ofstream(ini) << "[Profiles]\nactive=default\ncount=1\nprofile1=default\n"
                           << "[default\\Connection]\nFLASH start=0x0\nFLASH end=0x7FFFFF\n";
    }

    NoBoxes boxes;
    const long before = residentKiB();
    QElapsedTimer t;
    t.start();
    app::ui::MainWindow window(app::CommandLine({}), ini, &boxes);
    window.resize(565, 760);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 10000))
        std::fprintf(stderr, "window not exposed\n");
    QCoreApplication::processEvents();
    std::printf("start-up to a usable window: %.0f ms (since process start %.0f ms)\n", msSince(t),
                msSince(sinceStart));
    const long empty = residentKiB();

    t.restart();
    if (!window.files().openFile(firmware)) {
        std::fprintf(stderr, "cannot open %s\n", firmware.c_str());
        return 1;
    }
    const double load = msSince(t);
    t.restart();
    window.dumpView().viewport()->repaint();
    const double firstPaint = msSince(t);
    std::printf("open an 8 MiB binary file: %.0f ms; first repaint of the dump: %.1f ms\n", load, firstPaint);

    // Scrolling through the image repaints rows drawn on demand from the image.
    constexpr int kRepaints = 50;
    t.restart();
    for (int i = 0; i < kRepaints; ++i) {
        window.jumpTo((i * 163'841) % (8 << 20));
        window.dumpView().viewport()->repaint();
    }
    std::printf("jump and repaint the dump: %.2f ms each (%d times)\n", msSince(t) / kRepaints, kRepaints);
    std::printf(
        "resident memory: %ld KiB before the window, %ld KiB with it empty, %ld KiB with 8 MiB loaded\n",
        before, empty, residentKiB());
    return 0;
}
