#pragma once
// The protocol variables and the frame context, set from the profile, the device address and the
// memory image at the start of every device operation.

#include "app/device_surroundings.h"
#include "app/port_settings.h"

namespace exchange {
struct ExchangeContext;
}

namespace app {

// In this order: state.pageSize := the profile's \Protocol/Pagesize (default 128); the evaluator's
// variable table is emptied; PAGE 0, ADDRESS (ctx.address), RECIPIENT (low byte of the device address), SIZE
// and PAGESIZE (PageSize), APP_START, APP_END, APP_SIZE, APP_BSIZE, APP_CRC of the image, PACK_CRC 65535,
// APP_HWID and APP_SWID of its version record, APP_CMPT_SIZE ((compatibility entries + 1) × 2 + 1),
// APP_AREA (\Connection/FLASH start, default 0x2100) and SYS_AREA (\Connection/Ctrl_area, default 0xF00)
// are set; the frame context gets the compatibility list (HWID, then the entries) and the version block.
void SetProtocolVariables(exchange::ExchangeContext& ctx, const DeviceSurroundings& around);

// Port settings (speed, port number or device path, stop bits), then SetProtocolVariables: the first
// step of every device operation and of the device search.
void ApplyPortSettings(exchange::ExchangeContext& ctx, const DeviceSurroundings& around,
                       const LineOverrides& overrides);

} // namespace app
