// Loads arbitrary bytes into the memory image the way a binary file is loaded, so that anything
// beginning with "KTLA" goes through envelope decoding, the checks and the version record search.

#include "image/hex_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<image::THEXFile> file = [] {
        auto f = std::make_unique<image::THEXFile>();
        f->SetAutoCRC(true);
        return f;
    }();
    if (size > static_cast<size_t>(image::kMaxImageSize))
        return 0;
    file->LoadWholeStream({data, size});
    file->FindRange(0x2100, 0x3FFF);
    file->Update();
    return 0;
}
