#include "app/exchange_device_host.h"

#include "app/log.h"
#include "app/main_state.h"
#include "app/message_sink.h"
#include "app/protocol_variables.h"
#include "app/settings_store.h"
#include "app/view_notifications.h"
#include "exchange/comm.h"
#include "exchange/command_exchange.h"
#include "image/dump_versioned_file.h"
#include "protocol/function_evaluator.h"

#include <chrono>

namespace app {

using exchange::FlashWindow;
using exchange::ListBuffers;
using exchange::ListOutcome;

ExchangeDeviceHost::ExchangeDeviceHost(exchange::ExchangeContext& ctx, const DeviceSurroundings& around)
    : m_ctx(ctx), m_around(around) {
    m_ctx.comm.setLogSink([&log = m_around.log](const std::string& line) { log.AddLogLine(line); });
}

FlashWindow ExchangeDeviceHost::flashWindow() {
    if (windowOverride)
        return *windowOverride;
    const std::string& profile = m_around.state.activeProfile;
    return {m_around.settings.readInteger(Setting::FlashStart, profile),
            m_around.settings.readInteger(Setting::FlashEnd, profile)};
}

void ExchangeDeviceHost::applyPortSettings() {
    ApplyPortSettings(m_ctx, m_around, line);
}

uint16_t ExchangeDeviceHost::pageSize() {
    return m_around.state.pageSize;
}

bool ExchangeDeviceHost::openPort() {
    m_portFailed = !m_ctx.comm.Open();
    return !m_portFailed;
}

void ExchangeDeviceHost::closePort() {
    m_ctx.comm.Close();
}

bool ExchangeDeviceHost::portOpen() {
    return m_ctx.comm.IsOpen();
}

void ExchangeDeviceHost::setVariable(std::string_view name, double value) {
    m_ctx.evaluator.SetVariableQuiet(name, value);
}

ListOutcome ExchangeDeviceHost::runActionList(int index, const ListBuffers& buffers) {
    return exchange::ExecuteActionList(m_ctx, index, buffers);
}

uint16_t ExchangeDeviceHost::commErrors() {
    return m_ctx.CommErrors;
}

void ExchangeDeviceHost::resetCommErrors() {
    m_ctx.CommErrors = 0;
}

void ExchangeDeviceHost::setQuiet(bool quiet) {
    m_ctx.Quiet = quiet;
}

void ExchangeDeviceHost::clearImage() {
    m_around.image.Clear();
}

std::span<uint8_t> ExchangeDeviceHost::imageData() {
    return m_around.image.Data.span();
}

int32_t ExchangeDeviceHost::imageStartAddr() {
    return m_around.image.StartAddr;
}

int32_t ExchangeDeviceHost::imageEndAddr() {
    return m_around.image.EndAddr;
}

int32_t ExchangeDeviceHost::imageBlockCount() {
    return m_around.image.BlockCount;
}

void ExchangeDeviceHost::narrowImage(int32_t low, int32_t high) {
    image::TDUMPVersionedFile& img = m_around.image;
    img.FindRange(low, high);
    // Read from the settings: a write narrows the image before ApplyPortSettings reads the page size.
    const int32_t page =
        static_cast<uint16_t>(m_around.settings.readInteger(Setting::PageSize, m_around.state.activeProfile));
    if (img.StartAddr < 0 || page <= 0)
        img.BlockCount = 0;
    else
        img.BlockCount = img.Length / page + (img.Length % page != 0 ? 1 : 0);
    // APP_CRC then covers exactly the bytes a write sends.
    img.CalcCRC();
}

void ExchangeDeviceHost::markNonBlank() {
    m_around.image.MarkNonBlank();
}

void ExchangeDeviceHost::refreshImage() {
    if (onRefreshImage) {
        onRefreshImage();
        return;
    }
    const FlashWindow window = flashWindow();
    narrowImage(window.start, window.end);
    m_around.view.RefreshView();
}

void ExchangeDeviceHost::showMessage(exchange::MessageKind kind, std::string_view title,
                                     std::string_view text) {
    m_around.messages.showMessage(title, text, kind);
}

void ExchangeDeviceHost::deviceLog(std::string_view text) {
    m_around.log.AddDeviceLogLine(text);
}

void ExchangeDeviceHost::setBusy(bool busy) {
    m_busy = busy;
    m_around.view.UpdateActionStates();
}

void ExchangeDeviceHost::bringToFront() {
    if (onBringToFront)
        onBringToFront();
}

uint32_t ExchangeDeviceHost::tickCount() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace app
