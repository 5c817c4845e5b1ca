#pragma once
// The running-sum coder of the packed envelope, applied separately to the header text, the
// version record and the compatibility list block; i counts from 0 at the start of each region.
//   encode: s := (s + i + plain[i]) mod 256, coded[i] := s   (41 42 43 -> 41 84 C9)
//   decode: plain[i] := (coded[i] - i - coded[i-1]) mod 256, coded[-1] = 0

#include <cstdint>
#include <span>

namespace image {

void runningSumEncode(std::span<uint8_t> bytes);
void runningSumDecode(std::span<uint8_t> bytes);

} // namespace image
