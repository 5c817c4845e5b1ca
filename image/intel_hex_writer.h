#pragma once
// Intel HEX writer: the text of an Intel HEX file for the filled bytes of an image range.
//
// Consecutive filled bytes form data records of at most 16 bytes that never cross a 16-byte
// boundary. Images whose filled bytes all lie below 0x100000 carry a type "02" record before the
// first record of each 64 KiB bank (":020000020000FC" for bank 0); an image with any filled byte at
// or above 0x100000 uses type "04" records instead, so no address is lost. The text ends with
// ":00000001FF". Digits are upper case, lines end with CR LF.

#include "image/image_view.h"

#include <string>

namespace image {

std::string writeIntelHex(const ImageView& view);

} // namespace image
