// Any bytes as an "-lh5-" stream: three bytes of original size (little-endian, at most 256 KiB
// here), then the stream. Decoding never reads or writes outside its buffers; whatever decodes
// survives a round trip through our own compressor. Inputs starting with "KTLA" also go
// through the container reader.

#include "image/arc.h"
#include "image/lh5_decoder.h"
#include "image/lh5_encoder.h"

#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kMaxFuzzSize = 1 << 18;
constexpr size_t kMaxRoundTrip = 1 << 16;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4 && std::memcmp(data, "KTLA", 4) == 0) {
        image::TArc arc;
        std::vector<uint8_t> out;
        const bool ok = arc.Unpack({data, size}, out);
        check(ok ? out.size() == arc.OrigSize() : out.empty());
    }
    if (size < 3)
        return 0;
    const size_t original =
        (data[0] | (data[1] << 8) | (static_cast<size_t>(data[2]) << 16)) % (kMaxFuzzSize + 1);
    std::vector<uint8_t> out(original);
    if (image::lh5Decode({data + 3, size - 3}, out) != image::Lh5DecodeResult::Ok || original > kMaxRoundTrip)
        return 0;
    std::vector<uint8_t> stream;
    image::lh5Encode(out, stream);
    std::vector<uint8_t> again(original);
    check(image::lh5Decode(stream, again) == image::Lh5DecodeResult::Ok && again == out);
    return 0;
}
