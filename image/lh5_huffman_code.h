#pragma once
// Building the static Huffman codes an "-lh5-" block is sent with: code lengths limited to
// 16 bits from symbol frequencies, then the canonical code words for those lengths.

#include <cstdint>
#include <span>

namespace image {

// Fills `lengths` (same size as `freq`) with code lengths of at most 16 bits that minimise the
// coded size. Unused symbols (frequency 0) get length 0. Returns the number of used symbols;
// when it is below 2 every length is 0 and the caller sends the table in its single-symbol form.
int lh5BuildCodeLengths(std::span<const uint32_t> freq, std::span<uint8_t> lengths);

// Assigns canonical code words to `lengths` (shorter codes first, equal lengths in symbol
// order), as the decoder rebuilds them. `codes` has the size of `lengths`; unused symbols get 0.
// The lengths must satisfy the Kraft inequality (as lh5BuildCodeLengths's do).
void lh5MakeCodes(std::span<const uint8_t> lengths, std::span<uint16_t> codes);

} // namespace image
