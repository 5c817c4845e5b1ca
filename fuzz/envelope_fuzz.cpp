// Loads arbitrary bytes into the memory image the way a binary file is loaded, so that anything
// beginning with "KTLA" goes through envelope decoding, the checks and the version record search.
// The image is made once: a load clears it. Then the checks run on a narrowed range, and a save is
// prepared (for images up to 64 KiB, which compress quickly), which must leave the image as it was.

#include "image/hex_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

constexpr int32_t kMaxSavedEnd = 0xFFFF;

struct Snapshot {
    int32_t start, end, filled;
    uint32_t crc;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const image::THEXFile& file) {
    base::TCRCGenerator crc = file.CRCGenerator;
    return {file.StartAddr, file.EndAddr, file.FilledCount, file.CalcCRCWith(crc)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::unique_ptr<image::THEXFile> file = [] {
        auto f = std::make_unique<image::THEXFile>();
        f->SetAutoCRC(true);
        return f;
    }();
    if (size > static_cast<size_t>(image::kMaxImageSize))
        return 0;
    file->LoadWholeStream({data, size});
    if (file->EndAddr <= kMaxSavedEnd) {
        const Snapshot before = snapshot(*file);
        file->BeforeSave();
        if (!(snapshot(*file) == before))
            std::abort();
    }
    file->FindRange(0x2100, 0x3FFF);
    file->CheckImage();
    return 0;
}
