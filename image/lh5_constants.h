#pragma once
// Parameters of the "-lh5-" compression method: an 8 KiB sliding dictionary (LZSS) whose literals,
// match lengths and match positions are coded with static Huffman tables sent at the head of each block.

#include <cstddef>
#include <cstdint>

namespace image {

inline constexpr int kLh5DictionaryBits = 13;
inline constexpr uint32_t kLh5DictionarySize = 1u << kLh5DictionaryBits; // 8192 bytes
inline constexpr uint32_t kLh5MinMatch = 3;
inline constexpr uint32_t kLh5MaxMatch = 256;

// Character/length alphabet: 256 literal bytes, then lengths 3..256 as codes 256..509
// (a match of length L is the code L + kLh5LengthCodeOffset).
inline constexpr int kLh5CharCodes = 256 + kLh5MaxMatch - kLh5MinMatch + 1; // 510
inline constexpr int kLh5LengthCodeOffset = 256 - kLh5MinMatch;             // 253
inline constexpr int kLh5CharCountBits = 9;

// Code-length alphabet used to send the character table: codes 0..2 are runs of unused characters
// (one; 3..18 with a 4-bit count; 20..531 with a 9-bit count), code k + 2 is the length k (1..16).
// Its own lengths are sent with a 5-bit count and a 2-bit skip field after the third length.
inline constexpr int kLh5LengthTableCodes = 19;
inline constexpr int kLh5ShortRunCountBits = 4;
inline constexpr int kLh5ShortRunMin = 3;
inline constexpr int kLh5LongRunMin = 20;
inline constexpr int kLh5LengthTableCountBits = 5;
inline constexpr int kLh5LengthTableSkipAfter = 3;

// Position alphabet: code k is the bit length of (distance - 1); k > 1 is followed by k - 1 extra bits.
inline constexpr int kLh5PositionCodes = kLh5DictionaryBits + 1; // 14
inline constexpr int kLh5PositionCountBits = 4;

// Longest Huffman code of every table.
inline constexpr int kLh5MaxCodeLength = 16;
// Code lengths up to this value are sent as three bits; longer ones continue in unary.
inline constexpr int kLh5ShortLengthLimit = 6;

// Block size rule of the encoder: every code takes one byte (literal) or three (match) of a
// 16 KiB buffer, plus one flag byte per eight codes; the block is sent when a group of eight
// starts with fewer than 24 bytes free.
inline constexpr size_t kLh5BlockBufferSize = 16384;
inline constexpr size_t kLh5BlockBufferReserve = 24;

// Number of codes in a block is sent in 16 bits.
inline constexpr int kLh5BlockCountBits = 16;

} // namespace image
