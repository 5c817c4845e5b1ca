// The main window with the sample firmware, the progress panel during a read, the bus search and the
// device settings dialog, each against simulated devices.

#include "shots.h"

#include "app/ui/about_box.h"
#include "app/ui/device_settings_dialog.h"
#include "app/ui/main_window.h"
#include "app/ui/search_dialog.h"
#include "image/hex_file.h"
#include "support/bus_relay.h"
#include "support/sim_process.h"
#include "support/when_shown.h"

#include <QAction>
#include <QDir>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct NoBoxes : app::MessageSink {
    bool showMessage(std::string_view, std::string_view, app::MessageKind) override { return true; }
};

std::string writeSettings(const shots::Context& ctx, const std::string& port, bool expandedVersion) {
    const std::string path = QDir(ctx.workDir).filePath("velmora.ini").toStdString();
    std::ofstream f(path);
    f << "[Profiles]\nactive=Демо\ncount=1\nprofile1=Демо\n[Port settings]\nbaudrate=12\nStop bits=0\ndevice="
      << port << "\n"
      << "[View]\nShowVerMaximized=" << (expandedVersion ? 1 : 0) << "\n"
      << "[Демо\\Connection]\nprotocolFile=" << shots::userProtocol(ctx)
      << "\nFLASH start=0x2100\nFLASH end=0x3FFF\nDev address=17\n[Демо\\Protocol]\nPagesize=128\n";
    return path;
}

std::string sampleFirmware(const shots::Context& ctx) {
    return shots::userFile(ctx, QStringLiteral("firmware/sample-firmware.hex"),
                           QDir(ctx.sourceDir).filePath("examples/sample-firmware.hex"));
}

// The sample firmware as a raw memory file for the simulator.
std::string deviceMemory(const shots::Context& ctx) {
    const std::string path = QDir(ctx.workDir).filePath("device-memory.bin").toStdString();
    auto image = std::make_unique<image::THEXFile>();
    if (!image->LoadFromFile(image::kFileTypeHex, -1, false,
                             QDir(ctx.sourceDir).filePath("examples/sample-firmware.hex").toStdString()) ||
        !image->SaveBinaryFile(path))
        std::fprintf(stderr, "cannot prepare the device memory\n");
    return path;
}

void mainWindowShots(const shots::Context& ctx) {
    NoBoxes boxes;
    {
        // The device holds the sample firmware, so the read shows its pages arriving.
        testsupport::SimProcess sim(
            {"--serial", "4660", "--ident", "Демо-устройство", "--image-in", deviceMemory(ctx)});
        const std::string ini = writeSettings(ctx, sim.linePath(), true);
        app::ui::MainWindow w(app::CommandLine({"/F" + sampleFirmware(ctx)}), ini, &boxes);
        w.resize(1100, 760);
        shots::save(w, "main-window", ctx);

        // The progress panel while the device is read; the grab happens mid-read.
        w.action("DevRead")->trigger();
        shots::settle(1500);
        shots::save(w, "progress-panel", ctx);
        w.sequencer().cancel();
        shots::settle(200);

        app::ui::DeviceSettingsDialog& options = w.deviceSettingsDialog();
        testsupport::whenShown(options, [&] {
            shots::save(options, "device-settings", ctx);
            options.reject();
        });
        w.action("DevOpts")->trigger();

        app::ui::AboutBox& about = w.aboutBox();
        testsupport::whenShown(about, [&] {
            shots::save(about, "about-box", ctx);
            about.accept();
        });
        w.action("HelpAbout")->trigger();
    }
    {
        testsupport::SimProcess low({"--address", "5", "--serial", "7", "--ident", "Насос 1"});
        testsupport::SimProcess high({"--address", "17", "--serial", "8", "--ident", "Задвижка 2"});
        testsupport::BusRelay bus({low.linePath(), high.linePath()});
        const std::string ini = writeSettings(ctx, bus.busPath(), false);
        app::ui::MainWindow w(app::CommandLine({}), ini, &boxes);
        w.resize(1100, 760);
        w.show();
        w.action("DevFind")->trigger();
        app::ui::SearchDialog& search = w.searchDialog();
        shots::settle(2500);
        shots::save(search, "search-running", ctx);
        while (search.searching())
            shots::settle(200);
        search.grid().selectRow(1);
        shots::save(search, "search-done", ctx);
        search.reject();
    }
}

const shots::Registration registration("main", &mainWindowShots);

} // namespace
