#pragma once
// Compressor for the "-lh5-" method (LZSS over an 8 KiB dictionary, static Huffman blocks).

#include <cstdint>
#include <span>
#include <vector>

namespace image {

// Compresses all of `input` and appends the bit stream to `out`; the last byte is padded with
// zero bits. Nothing is appended for an empty input. The stream carries no length: the reader
// must be told the original size. Never fails.
void lh5Encode(std::span<const uint8_t> input, std::vector<uint8_t>& out);

} // namespace image
