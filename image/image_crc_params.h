#pragma once
// ImageCrcParams: how the CRC over the memory image is computed. The defaults are those of the
// settings store (16 bits, polynomial 0x8005, initial value 0xFFFF, reflected, no byte swap, no
// final XOR); the profile may change every field.

#include <cstdint>

namespace image {

struct ImageCrcParams {
    int32_t width = 16;
    uint32_t polynom = 0x8005;
    uint32_t initial = 0xFFFF;
    bool reflected = true;
    bool swap = false;
    uint32_t xorValue = 0;
};

} // namespace image
