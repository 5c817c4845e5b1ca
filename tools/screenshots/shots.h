#pragma once
// The screenshot harness: each window group registers a function that builds its windows in a known
// state and saves them with save(). `velmora-shots [group...]` runs the groups (all when none is
// named); scripts/screenshots.sh runs it under a virtual X server so the pictures show what a person
// sees on a desktop: the real platform plugin, fonts and style.

#include <QString>

#include <string>

class QWidget;

namespace shots {

struct Context {
    QString sourceDir; // the repository (examples, sample firmware)
    QString buildDir;  // the build tree (examples/*.vpdf, velmora-sim)
    QString workDir;   // an empty temporary folder for settings files and copies
    QString outDir;    // where the pictures go (docs/screenshots)
    QString homeDir;   // a user's home folder for the files the pictures name (never this checkout)
};

// Copies `source` to <homeDir>/<name> (folders created) and returns the copy's path, so a picture
// shows a path such as ~/firmware/app.hex instead of the build machine's checkout.
std::string userFile(const Context& ctx, const QString& name, const QString& source);
// The protocol description of the simulated devices, as the user keeps it: ~/protocols/sim.vpdf.
std::string userProtocol(const Context& ctx);

// Shows `widget` (when hidden), waits until it has been exposed and painted, and writes
// <outDir>/<name>.png from the screen. False (with a line on standard error) when it could not.
bool save(QWidget& widget, const QString& name, const Context& ctx);

// Lets the event loop run for `ms` milliseconds (timers, repaints).
void settle(int ms);

using ShotFunction = void (*)(const Context&);

// Registers a group at start-up; use as `static shots::Registration reg("name", &function);`.
struct Registration {
    Registration(const char* group, ShotFunction run);
};

} // namespace shots
