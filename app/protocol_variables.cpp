#include "app/protocol_variables.h"

#include "app/main_state.h"
#include "app/settings_store.h"
#include "exchange/comm.h"
#include "exchange/exchange_context.h"
#include "image/dump_versioned_file.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

namespace app {

void SetProtocolVariables(exchange::ExchangeContext& ctx, const DeviceSurroundings& around) {
    around.state.pageSize = static_cast<std::uint16_t>(
        around.settings.readInteger(Setting::PageSize, around.state.activeProfile));
    const std::uint16_t pageSize = around.state.pageSize;

    const image::TDUMPVersionedFile& img = around.image;
    protocol::TFunctionEvaluator& ev = ctx.evaluator;
    ev.ClearVariables();
    auto set = [&ev](const char* name, long double value) { ev.SetVariableQuiet(name, value); };
    set("PAGE", 0);
    set("ADDRESS", ctx.address);
    set("RECIPIENT", static_cast<std::uint8_t>(around.state.deviceAddress)); // the bus uses the low byte
    set("SIZE", pageSize);
    set("PAGESIZE", pageSize);
    set("APP_START", img.StartAddr);
    set("APP_END", img.EndAddr);
    set("APP_SIZE", img.Length);
    set("APP_BSIZE", img.BlockCount);
    set("APP_CRC", img.CRC);
    set("PACK_CRC", 65535);
    set("APP_HWID", img.Version.HWID());
    set("APP_SWID", img.SWID());
    set("APP_CMPT_SIZE", (static_cast<long double>(img.CList.size()) + 1) * 2 + 1);
    set("APP_AREA", around.settings.readInteger(Setting::FlashStart, around.state.activeProfile));
    set("SYS_AREA", around.settings.readInteger(Setting::CtrlArea, around.state.activeProfile));

    protocol::TprCOMMANDS& commands = ctx.protocol.Commands;
    commands.CompatibilityList.clear();
    commands.CompatibilityList.push_back(img.Version.HWID());
    commands.CompatibilityList.insert(commands.CompatibilityList.end(), img.CList.begin(), img.CList.end());
    commands.VersionBlock = img.Version.bytes;
}

void ApplyPortSettings(exchange::ExchangeContext& ctx, const DeviceSurroundings& around,
                       const LineOverrides& overrides) {
    applyPortSettings(ctx.comm, around.settings, overrides);
    SetProtocolVariables(ctx, around);
}

} // namespace app
