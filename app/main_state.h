#pragma once
// What the main window holds besides the settings store, shared by the profile code, the exchange and
// the view. The core and the desktop use one instance for the whole run.

#include <cstdint>
#include <string>
#include <vector>

namespace app {

inline constexpr std::int32_t kDefaultDeviceAddress = 17;
inline constexpr std::uint16_t kDefaultPageSize = 128;

struct MainState {
    std::string activeProfile;                          // UTF-8; set by LoadProfile
    std::int32_t deviceAddress = kDefaultDeviceAddress; // the bus uses its low byte
    std::uint16_t pageSize = kDefaultPageSize;
    std::string password;                      // flash write password, UTF-8
    std::vector<std::string> protocolFileList; // known protocol description files, UTF-8 paths
    bool communicationDisabled = true;         // until a protocol description was read successfully
    bool startedWithArguments = false;
};

// The device address as the address field shows it: "0x" and two upper-case hexadecimal digits of its
// low byte (17 shows "0x11").
std::string formatDeviceAddress(std::int32_t address);

} // namespace app
