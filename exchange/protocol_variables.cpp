#include "exchange/protocol_variables.h"

#include "app/main_state.h"
#include "app/settings_store.h"
#include "exchange/comm.h"
#include "exchange/port_settings.h"
#include "image/dump_versioned_file.h"
#include "protocol/function_evaluator.h"
#include "protocol/protocol_description.h"

namespace exchange {

void SetProtocolVariables(ExchangeContext& ctx) {
    ctx.state.pageSize =
        static_cast<std::uint16_t>(ctx.settings.readInteger(app::Setting::PageSize, ctx.state.activeProfile));
    const std::uint16_t pageSize = ctx.state.pageSize;

    const image::TDUMPVersionedFile& img = ctx.image;
    protocol::TFunctionEvaluator& ev = ctx.evaluator;
    ev.ClearVariables();
    auto set = [&ev](const char* name, long double value) { ev.SetVariableQuiet(name, value); };
    set("PAGE", 0);
    set("ADDRESS", ctx.address);
    set("RECIPIENT", static_cast<std::uint8_t>(ctx.state.deviceAddress)); // the bus uses the low byte
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
    set("APP_AREA", ctx.settings.readInteger(app::Setting::FlashStart, ctx.state.activeProfile));
    set("SYS_AREA", ctx.settings.readInteger(app::Setting::CtrlArea, ctx.state.activeProfile));

    TprCOMMANDS& commands = ctx.protocol.Commands;
    commands.CompatibilityList.clear();
    commands.CompatibilityList.push_back(img.Version.HWID());
    commands.CompatibilityList.insert(commands.CompatibilityList.end(), img.CList.begin(), img.CList.end());
    commands.VersionBlock = img.Version.bytes;
}

void ApplyPortSettings(ExchangeContext& ctx) {
    applyPortSettings(ctx.comm, ctx.settings, ctx.line);
    SetProtocolVariables(ctx);
}

} // namespace exchange
