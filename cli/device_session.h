#pragma once
// The parts a velmora-cli device command runs on, built from the global options: the settings store,
// the profile (its image CRC, protocol description, device address), the port component, the
// evaluator, the memory image, the log and messages on the error output, and the device host over
// them. Applying the profile here changes nothing in the settings file.

#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "cli/cli_context.h"
#include "exchange/comm.h"
#include "exchange/exchange_context.h"
#include "exchange/exchange_device_host.h"
#include "image/hex_file.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

#include <memory>
#include <optional>
#include <string>

namespace cli {

// The exchange's host with one addition: a FLASH window that replaces the profile's while set, so
// that a verify reads back exactly the range just written.
class CliDeviceHost final : public exchange::ExchangeDeviceHost {
  public:
    using ExchangeDeviceHost::ExchangeDeviceHost;
    void setWindowOverride(std::optional<exchange::FlashWindow> window) { m_windowOverride = window; }
    exchange::FlashWindow flashWindow() override {
        return m_windowOverride ? *m_windowOverride : ExchangeDeviceHost::flashWindow();
    }
    bool openPort() override {
        m_portFailed = !ExchangeDeviceHost::openPort();
        return !m_portFailed;
    }
    // The last attempt to open the port failed: the exit status tells it from other refusals.
    bool portFailed() const { return m_portFailed; }

  private:
    std::optional<exchange::FlashWindow> m_windowOverride;
    bool m_portFailed = false;
};

class DryRun;

class DeviceSession {
  public:
    // Null after a message on the error output when the settings, the profile, the protocol
    // description or the --address value cannot be used.
    static std::unique_ptr<DeviceSession> open(const CliContext& ctx);
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    CliDeviceHost& host() { return *m_host; }
    image::THEXFile& image() { return m_image; }
    app::SettingsStore& settings() { return m_store; }
    protocol::TProtocol& protocol() { return m_protocol; }
    const std::string& profile() const { return m_state.activeProfile; }
    int deviceAddress() const { return m_state.deviceAddress; }
    // The device path the port opens (after the line settings were applied).
    std::string portPath() const { return m_comm.DevicePath(); }
    exchange::FlashWindow flashWindow();
    // Set with --dry-run.
    DryRun* dryRun() { return m_dryRun.get(); }

  private:
    DeviceSession(const std::string& settingsPath, std::unique_ptr<exchange::SerialLine> line);

    app::SettingsStore m_store;
    app::MainState m_state;
    app::Log m_log;
    std::unique_ptr<app::LogSink> m_logSink;
    std::unique_ptr<app::MessageSink> m_messages;
    app::ViewNotifications m_view;
    image::THEXFile m_image;
    protocol::TFunctionEvaluator m_evaluator;
    protocol::TProtocol m_protocol;
    exchange::TComm m_comm;
    std::unique_ptr<exchange::ExchangeContext> m_ctx;
    std::unique_ptr<CliDeviceHost> m_host;
    std::unique_ptr<DryRun> m_dryRun;
};

} // namespace cli
