// Reads arbitrary text as Intel HEX, as written and relocated, into a buffer of the image's size:
// every byte handed over must lie inside it. Then writes what was read and reads it back.

#include "image/image_buffer.h"
#include "image/intel_hex_reader.h"
#include "image/intel_hex_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> bytes(image::kMaxImageSize);
    static std::vector<uint8_t> marks(image::kMaxImageSize);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int32_t low = image::kMaxImageSize;
    int32_t high = -1;
    auto sink = [&](uint32_t at, const uint8_t* b, size_t n) {
        if (at + n > bytes.size())
            std::abort();
        std::memcpy(bytes.data() + at, b, n);
        std::memset(marks.data() + at, 1, n);
        low = std::min<int32_t>(low, static_cast<int32_t>(at));
        high = std::max<int32_t>(high, static_cast<int32_t>(at + n - 1));
    };
    image::readIntelHex(text, -1, sink);
    image::readIntelHex(text, size % 2 ? 0x2100 : 0x7FFF00, sink);
    if (high >= 0) {
        const std::string written = image::writeIntelHex({bytes.data(), marks.data(), low, high});
        if (!image::readIntelHex(written, -1, [](uint32_t, const uint8_t*, size_t) {}).ok())
            std::abort();
        std::memset(marks.data() + low, 0, static_cast<size_t>(high - low + 1));
    }
    return 0;
}
