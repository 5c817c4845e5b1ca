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

#include <QApplication>

#include <clocale>
#include <cstdlib>

int main(int argc, char* argv[]) {
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

    auto* splash = new app::ui::SplashWindow(QString::fromStdString(app::programVersionText()));
    splash->showNow();

    const app::CommandLine cmd(std::move(args));
    const auto path =
        app::resolveSettingsPath(settingsPath, app::programDirectory(), app::currentSettingsEnvironment());
    app::ui::MainWindow window(cmd, path);
    window.show();
    splash->raise();
    return QApplication::exec();
}
