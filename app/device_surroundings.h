#pragma once
// What the device operations use of the program around the exchange: the settings and the active
// profile, the memory image, the log, the user and the view. The owner (the device session) keeps
// them; every reference must outlive the parts that hold this.

namespace image {
class TDUMPVersionedFile;
}

namespace app {

class Log;
class MessageSink;
class SettingsStore;
class ViewNotifications;
struct MainState;

struct DeviceSurroundings {
    const SettingsStore& settings;
    // activeProfile selects the per-profile sections; deviceAddress gives RECIPIENT (its low byte);
    // pageSize is set by SetProtocolVariables.
    MainState& state;
    image::TDUMPVersionedFile& image;
    Log& log;
    MessageSink& messages;
    ViewNotifications& view;
};

} // namespace app
