#pragma once
// Configuring the port component from the settings before every device operation and the device
// search: speed, port number (and the device path it opens), stop bits and parity of the "Port
// settings" section, each unless the command line overrides it.

#include <optional>
#include <string>

namespace exchange {
class TComm;
}

namespace app {

class SettingsStore;

// What velmora-cli's options put in place of the port settings; empty or unset means the setting.
struct LineOverrides {
    std::string device;           // --port
    std::optional<int> baudIndex; // --baud, a TBaudRate index
    std::optional<int> parity;    // --parity, a TParity value
};

// Applies, in this order:
//  - BaudRate := the override or "baudrate" (index into the 15 speeds, default 8 = 19200; outside the
//    table 9600);
//  - ComNo := "port" + 1 (default 0, that is port 1); a different number closes an open port;
//  - the device path: the override when not empty (velmora-cli --port), else the "device" setting when
//    not empty, else /dev/ttyS(ComNo-1); a different path closes an open port;
//  - StopBits := "Stop bits" (0 = 1, 1 = 1.5, 2 = 2; default 1; any other value means 1 stop bit);
//  - Parity := the override or "Parity" (0 none, 1 odd, 2 even, 3 mark, 4 space; default and any
//    other value: none).
// Reads the store at the moment of the call; nothing is cached.
void applyPortSettings(exchange::TComm& comm, const SettingsStore& settings, const LineOverrides& overrides);

} // namespace app
