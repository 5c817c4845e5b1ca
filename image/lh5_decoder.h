#pragma once
// Decompressor for the "-lh5-" method.

#include <cstdint>
#include <span>

namespace image {

enum class Lh5DecodeResult {
    Ok,
    Truncated, // the stream ended before the output was complete
    BadTable,  // a block's Huffman table is malformed
    BadCode,   // bits that are no code of the block's table
    BadMatch,  // a match reaching past the end of the output
};

// Decodes `input` until exactly `output.size()` bytes are produced. Reads nothing outside
// `input` and writes nothing outside `output`. Bytes after the end of the stream are ignored.
// A match reaching back before the start of the output copies spaces (0x20), as the published
// decoders fill their dictionary. On a result other than Ok the contents of `output` are
// unspecified.
Lh5DecodeResult lh5Decode(std::span<const uint8_t> input, std::span<uint8_t> output);

// A result in a few English words, for test and debugging output; the program reports the result.
const char* lh5DecodeResultText(Lh5DecodeResult result);

} // namespace image
