#pragma once
// Building a new envelope from a plain image, for release engineers: the firmware is the image
// from address 0 to EndAddr, the version record and compatibility list are those found in the
// image, and the record's ImageSize and ImageCRC are set so that the envelope loads undamaged.

#include "image/dump_versioned_file.h"

#include <string>
#include <vector>

namespace image {

struct EnvelopeBuildOptions {
    std::string headerCp1251; // header text, cut to 32 bytes
    bool packed = true;       // "-lh5-" compressed; false: the firmware stored as it is
};

// The envelope bytes in `out`. Fails (UTF-8 message in `error`) when the envelope would exceed
// 0x800000 bytes, or for an unpacked envelope when the image has data below 124, where the
// envelope's own fields lie (file offset = image address). A record is always written: the image's,
// or the empty record when it has none. The ImageCRC is over the list block as coded in the file.
bool buildEnvelope(const TDUMPVersionedFile& image, const EnvelopeBuildOptions& options,
                   std::vector<uint8_t>& out, std::string& error);

} // namespace image
