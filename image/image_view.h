#pragma once
// ImageView: read-only access to bytes and filled marks of an image range, as handed to the file
// writers. `data` and `filled` are readable at indices 0 .. endAddr; startAddr and endAddr are -1
// when nothing is filled.

#include <cstdint>

namespace image {

struct ImageView {
    const uint8_t* data = nullptr;
    const uint8_t* filled = nullptr;
    int32_t startAddr = -1;
    int32_t endAddr = -1;
};

} // namespace image
