// The desktop program: splash, main window, event loop.
//
// Settings file: "--settings FILE" (taken out of the arguments before the switches are read), else the
// VELMORA_SETTINGS environment variable, else prog.ini next to the program or in the user's
// configuration folder.

#include "app/command_line.h"
#include "app/program_version.h"
#include "app/settings_location.h"
#include "app/ui/main_window.h"
#include "app/ui/splash_window.h"
#include "base/file_reader.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: velmora [--settings FILE] [/Ffile] [/Aaddress] [/Eletters] [FILE]\n"
    "\n"
    "The desktop service tool for devices on a MODBUS-RTU serial line.\n"
    "\n"
    "  FILE, /Ffile      open this firmware file at start-up\n"
    "  /Aaddress         device address to use (decimal, or hexadecimal after $, 0x or x)\n"
    "  /Eletters         show only the actions whose letters are given\n"
    "  --settings FILE   settings file to use instead of prog.ini\n"
    "  --help            print this help and exit\n"
    "  --version         print the program version and exit\n"
    "\n"
    "Started with any argument, the program keeps the device address and the last file unchanged.\n";

// --help and --version answer on stdout without a window (and without a display). Returns whether
// one of them was given.
bool answerInformationOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velmora %s\n", VELMORA_VERSION);
            return true;
        }
    }
    return false;
}

// A settings file that exists but cannot be read would start the program on defaults and lose every
// change made in it; a missing one is created.
bool settingsFileUsable(const std::filesystem::path& path) {
    std::vector<std::uint8_t> probe;
    const base::ReadStatus status = base::readFileStart(path, 0, probe);
    if (status == base::ReadStatus::Ok || status == base::ReadStatus::Missing)
        return true;
    std::fprintf(stderr,
                 "velmora: the settings file %s cannot be read (a folder, FIFO, device, or no permission)\n",
                 path.c_str());
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (answerInformationOption(argc, argv))
        return EXIT_SUCCESS;
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // Log timestamps follow the user's date and time formats.
    std::setlocale(LC_TIME, "");

    std::vector<std::string> args;
    std::string settingsPath;
    if (const char* env = std::getenv("VELMORA_SETTINGS"))
        settingsPath = env;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--settings" && i + 1 < argc) {
            settingsPath = argv[++i];
            continue;
        }
        args.push_back(arg);
    }

    const auto path =
        app::resolveSettingsPath(settingsPath, app::programDirectory(), app::currentSettingsEnvironment());
    if (!settingsFileUsable(path))
        return 2;

    auto* splash = new app::ui::SplashWindow(QString::fromStdString(app::programVersionText()));
    splash->showNow();

    const app::CommandLine cmd(std::move(args));
    app::ui::MainWindow window(cmd, path);
    window.show();
    splash->raise();
    return QApplication::exec();
}
