#include "image/running_sum_coder.h"

#include <cstddef>

namespace image {

void runningSumEncode(std::span<uint8_t> bytes) {
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        sum = static_cast<uint8_t>(sum + i + bytes[i]);
        bytes[i] = sum;
    }
}

void runningSumDecode(std::span<uint8_t> bytes) {
    uint8_t previous = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t coded = bytes[i];
        bytes[i] = static_cast<uint8_t>(coded - i - previous);
        previous = coded;
    }
}

} // namespace image
