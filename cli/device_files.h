#pragma once
// The files around the device commands: a firmware's data outside the FLASH window, and the file a
// read is saved to (Intel HEX for a .hex name, else binary), with a fallback so that a read whose file
// cannot be written is not thrown away.

#include "app/file_workflow.h"
#include "image/hex_file.h"

#include <string>

namespace cli {

// "0x00002000..0x000020FF and 0x00100000..0x001001FF": the stretches below and above the window.
std::string outsideWindowText(const app::DataOutsideWindow& outside);

// Saves `image` to `path` in the format its name asks for.
image::FileResult saveImageFile(image::THEXFile& image, const std::string& path);

// Saves a read whose own file could not be written: into the working folder, or the temporary folder
// when that cannot be written either, as "velmora-read-<date>-<time>-<process>" with the extension of
// `wanted`. Returns the path written, or empty when no place took it.
std::string saveFallbackFile(image::THEXFile& image, const std::string& wanted);

} // namespace cli
