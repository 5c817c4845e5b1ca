#include "app/main_state.h"

#include <cstdio>

namespace app {

std::string formatDeviceAddress(std::int32_t address) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(address) & 0xFFu);
    return text;
}

} // namespace app
