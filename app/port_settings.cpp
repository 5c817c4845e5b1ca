#include "app/port_settings.h"

#include "app/settings_store.h"
#include "exchange/comm.h"

#include <cstdint>

namespace app {

void applyPortSettings(exchange::TComm& comm, const SettingsStore& settings, const LineOverrides& overrides) {
    using namespace exchange;
    comm.setBaudRate(overrides.baudIndex.value_or(settings.readInteger(Setting::BaudRateIndex)));
    // "port" is an index into COM1..COM20; a stored value that overflows on +1 is left as it is and
    // then ignored like every other non-positive number.
    const std::int32_t port = settings.readInteger(Setting::PortIndex);
    if (port >= 0 && port < INT32_MAX)
        comm.setComNo(port + 1);
    comm.setDevicePath(overrides.device.empty() ? settings.readString(Setting::PortDevice)
                                                : overrides.device);
    const std::int32_t stop = settings.readInteger(Setting::StopBitsIndex);
    comm.setStopBits(stop >= SB_ONESTOPBIT && stop <= SB_TWOSTOPBITS ? static_cast<TStopBits>(stop)
                                                                     : SB_ONESTOPBIT);
    const std::int32_t parity = overrides.parity.value_or(settings.readInteger(Setting::ParityIndex));
    comm.setParity(parity >= No_Parity && parity <= Space_Parity ? static_cast<TParity>(parity) : No_Parity);
}

} // namespace app
