#include "exchange/port_settings.h"

#include "app/settings_store.h"
#include "exchange/comm.h"

#include <cstdint>

namespace exchange {

void applyPortSettings(TComm& comm, const app::SettingsStore& settings, const std::string& portOverride) {
    comm.setBaudRate(settings.readInteger(app::Setting::BaudRateIndex));
    // "port" is an index into COM1..COM20; a stored value that overflows on +1 is left as it is and
    // then ignored like every other non-positive number.
    const std::int32_t port = settings.readInteger(app::Setting::PortIndex);
    if (port >= 0 && port < INT32_MAX)
        comm.setComNo(port + 1);
    comm.setDevicePath(portOverride.empty() ? settings.readString(app::Setting::PortDevice) : portOverride);
    const std::int32_t stop = settings.readInteger(app::Setting::StopBitsIndex);
    comm.setStopBits(stop >= SB_ONESTOPBIT && stop <= SB_TWOSTOPBITS ? static_cast<TStopBits>(stop)
                                                                     : SB_ONESTOPBIT);
}

} // namespace exchange
