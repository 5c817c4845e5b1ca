#pragma once
// ExchangeDeviceHost: the device operations' host (DeviceHost) over the real exchange, without any
// window. The port, the action lists and the protocol variables come from an ExchangeContext; the
// settings, the memory image, the user and the view from the program around it. velmora-cli uses it
// as it is; the desktop program sets the hooks for what only a window can do (the file workflow's image
// refresh, bringing the window to the front).
//
// Typical headless use (the device session does this):
//   ExchangeDeviceHost host(ctx, {settings, state, image, log, messages, view});
//   OperationSequencer seq(host);
//   if (seq.startRead()) while (seq.paging()) seq.tick();

#include "app/device_surroundings.h"
#include "app/port_settings.h"
#include "exchange/device_host.h"
#include "exchange/exchange_context.h"

#include <functional>
#include <optional>

namespace app {

class ExchangeDeviceHost : public exchange::DeviceHost {
  public:
    // Routes the port component's log lines (open failures with their reason, line format notes) to
    // the log. Everything referenced must outlive the host.
    ExchangeDeviceHost(exchange::ExchangeContext& ctx, const DeviceSurroundings& around);
    ExchangeDeviceHost(const ExchangeDeviceHost&) = delete;
    ExchangeDeviceHost& operator=(const ExchangeDeviceHost&) = delete;

    // The file workflow's refresh after a device read; the default narrows the image to the FLASH
    // window, recounts its pages, recomputes its CRC and asks the view to refresh.
    std::function<void()> onRefreshImage;
    // Brings the program to the front at the end of a read or write; nothing by default.
    std::function<void()> onBringToFront;
    // Line settings that win over the settings (velmora-cli options).
    LineOverrides line;
    // Replaces the profile's FLASH window while set, so that a verify reads back exactly the range
    // just written.
    std::optional<exchange::FlashWindow> windowOverride;

    exchange::FlashWindow flashWindow() override;
    // ApplyPortSettings: speed, port or device path, stop bits, then SetProtocolVariables.
    void applyPortSettings() override;
    uint16_t pageSize() override;

    bool openPort() override;
    // The last attempt to open the port failed (velmora-cli tells it from other refusals).
    bool portFailed() const { return m_portFailed; }
    void closePort() override;
    bool portOpen() override;

    void setVariable(std::string_view name, double value) override;
    // ExecuteActionList.
    exchange::ListOutcome runActionList(int index, const exchange::ListBuffers& buffers) override;
    uint16_t commErrors() override;
    void resetCommErrors() override;
    void setQuiet(bool quiet) override;

    void clearImage() override;
    std::span<uint8_t> imageData() override;
    int32_t imageStartAddr() override;
    int32_t imageEndAddr() override;
    int32_t imageBlockCount() override;
    // FindRange(low, high); BlockCount := Length div the profile's page size, plus 1 for a remainder (0
    // when empty); CalcCRC over the narrowed range.
    void narrowImage(int32_t low, int32_t high) override;
    void markNonBlank() override;
    void refreshImage() override;

    void showMessage(exchange::MessageKind kind, std::string_view title, std::string_view text) override;
    void deviceLog(std::string_view text) override;
    bool busy() const override { return m_busy; }
    // Also recomputes the action states (UpdateActionStates).
    void setBusy(bool busy) override;
    void bringToFront() override;

    uint32_t tickCount() override;

  private:
    exchange::ExchangeContext& m_ctx;
    DeviceSurroundings m_around;
    bool m_busy = false;
    bool m_portFailed = false;
};

} // namespace app
