#pragma once
// Whole-file reading for the image loaders, with a size limit checked before anything is read.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace image {

enum class ReadStatus { Ok, CannotOpen, TooLarge };

// Reads the whole file into `bytes`. Fails with TooLarge, reading nothing, when the file holds more
// than `maxSize` bytes; with CannotOpen when it cannot be opened or read.
ReadStatus readFileBytes(const std::filesystem::path& path, uint64_t maxSize, std::vector<uint8_t>& bytes);

} // namespace image
