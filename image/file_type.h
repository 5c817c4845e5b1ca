#pragma once
// File types of the memory image and the detection of a file's type from its first bytes.

#include <cstdint>
#include <string>

namespace image {

inline constexpr uint8_t kFileTypeHex = 1;      // Intel HEX
inline constexpr uint8_t kFileTypeBinary = 2;   // raw binary
inline constexpr uint8_t kFileTypeMapBin = 3;   // begins with "MAPBIN0" and a zero byte; not loadable
inline constexpr uint8_t kFileTypeEnvelope = 4; // packed envelope (recognised after a binary load)
inline constexpr uint8_t kFileTypeDetect = 5;   // request only: detect the type

// kFileTypeHex when the first two lines both exist, are longer than 9 characters (a trailing CR
// not counted) and begin with ':'; otherwise kFileTypeMapBin when the file holds at least 16 bytes
// and begins with "MAPBIN0" and a zero byte; otherwise kFileTypeBinary (also for a file that
// cannot be read; its load then fails).
uint8_t detectFileType(const std::string& fileName);

} // namespace image
