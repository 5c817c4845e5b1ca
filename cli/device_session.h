#pragma once
// How a velmora-cli device command opens the device session: from the global options it finds the
// settings store and the profile (its image CRC, protocol description, device address), chooses the
// line (the port, a traced port or a dry run), and builds the app::DeviceSession over the memory image,
// the log and messages on the error output (or JSON events). Applying the profile here changes
// nothing in the settings file.

#include "app/device_session.h"
#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "cli/cli_context.h"
#include "image/hex_file.h"

#include <memory>
#include <optional>
#include <string>

namespace cli {

class DryRun;

class DeviceSession {
  public:
    // Null after a message on the error output when the settings, the profile, the protocol
    // description or the --address value cannot be used.
    static std::unique_ptr<DeviceSession> open(const CliContext& ctx);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    app::ExchangeDeviceHost& host() { return m_device->host(); }
    app::DeviceSession& device() { return *m_device; }
    image::THEXFile& image() { return m_image; }
    app::SettingsStore& settings() { return m_store; }
    protocol::TProtocol& protocol() { return m_device->protocol(); }
    const std::string& profile() const { return m_state.activeProfile; }
    int deviceAddress() const { return m_state.deviceAddress; }
    // The device path the port opens (after the line settings were applied).
    std::string portPath() const { return m_device->comm().DevicePath(); }
    exchange::FlashWindow flashWindow();
    // Set with --dry-run.
    DryRun* dryRun() { return m_dryRun.get(); }

  private:
    explicit DeviceSession(const std::string& settingsPath);

    app::SettingsStore m_store;
    app::MainState m_state;
    app::Log m_log;
    std::unique_ptr<app::LogSink> m_logSink;
    std::unique_ptr<app::MessageSink> m_messages;
    app::ViewNotifications m_view;
    image::THEXFile m_image;
    // Before the device session: the dry-run line it owns may refer to it until the port closes.
    std::unique_ptr<DryRun> m_dryRun;
    std::unique_ptr<app::DeviceSession> m_device;
};

} // namespace cli
