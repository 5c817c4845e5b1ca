// The settings dialog: each of its pages for a profile with a protocol description, and the dialog of a
// program started with command-line arguments.

#include "shots.h"

#include "app/protocol_file_loader.h"
#include "app/ui/settings_dialog.h"

#include <QDir>
#include <QTabWidget>

#include <fstream>
#include <string>

namespace {

struct NoBoxes : app::MessageSink {
    bool showMessage(std::string_view, std::string_view, app::MessageKind) override { return true; }
};

struct NoImage : app::ProfileHost {
    void setImageCrcParams(const base::CrcParameters&) override {}
};

// The dialog over a settings file, with the profile code and protocol loader the program uses.
struct Program {
    app::SettingsStore store;
    app::MainState state;
    NoImage host;
    NoBoxes boxes;
    protocol::TProtocol description;
    app::ProtocolFileLoader loader{description};
    app::ViewNotifications view;
    app::Profiles profiles;
    app::ui::SettingsDialog dialog;

    Program(const std::string& ini, const QString& programDir, bool arguments)
        : store(ini), profiles(store, state, host, loader, boxes, view, programDir.toStdString()),
          dialog(store, profiles, state, host, view, boxes) {
        state.startedWithArguments = arguments;
        profiles.LoadProfile(store.readString(app::Setting::ActiveProfile));
    }
};

std::string writeSettings(const shots::Context& ctx) {
    const std::string path = QDir(ctx.workDir).filePath("settings-dialog.ini").toStdString();
    const std::string protocol = shots::userProtocol(ctx);
    std::ofstream f(path);
    f << "[Profiles]\nactive=Демо\ncount=2\nprofile1=Демо\nprofile2=Стенд\n"
      << "[Port settings]\nport=2\nbaudrate=12\nStop bits=0\n"
      << "[Protocols]\ncount=1\nProtocol_0=" << protocol << "\n"
      << "[Демо\\Connection]\nprotocolFile=" << protocol
      << "\nFLASH start=0x2100\nFLASH end=0x3FFF\nCtrl_area=0xF00\nPassword=1234\n"
      << "[Демо\\Options]\nCheck file update=1\nConfirm reload=1\nAssign file type=5\n"
      << "[Демо\\Protocol]\nPagesize=128\n"
      << "[Демо\\Application]\nCRCwidth=16\nPolynom=0x8005\nInit=0xFFFF\nXORout=0\nReflect=1\nSwapHILO=1\n";
    return path;
}

void settingsDialogShots(const shots::Context& ctx) {
    const std::string ini = writeSettings(ctx);
    {
        Program p(ini, ctx.workDir, false);
        app::ui::SettingsDialog& d = p.dialog;
        d.prepare();
        const struct {
            int page;
            const char* name;
        } pages[] = {{app::ui::SettingsDialog::kMainPage, "settings-main"},
                     {app::ui::SettingsDialog::kLinkPage, "settings-link"},
                     {app::ui::SettingsDialog::kBufferPage, "settings-buffer"},
                     {app::ui::SettingsDialog::kAssociationsPage, "settings-associations"}};
        for (const auto& page : pages) {
            d.pages()->setCurrentIndex(page.page);
            shots::save(d, QString::fromLatin1(page.name), ctx);
        }
        d.reject();
    }
    {
        Program p(ini, ctx.workDir, true);
        p.dialog.prepare();
        p.dialog.pages()->setCurrentIndex(app::ui::SettingsDialog::kLinkPage);
        shots::save(p.dialog, QStringLiteral("settings-arguments"), ctx);
        p.dialog.reject();
    }
}

const shots::Registration registration("settings", &settingsDialogShots);

} // namespace
