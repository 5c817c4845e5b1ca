#pragma once
// Whole-file reading for the loaders (memory images, protocol descriptions), with a size limit checked
// before anything is read. Only regular files are read: a folder, a FIFO or a device is refused at once,
// without waiting for a writer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace protocol {

enum class ReadStatus { Ok, CannotOpen, TooLarge };

// Reads the whole file into `bytes`. Fails with TooLarge, reading nothing, when the file holds more
// than `maxSize` bytes; with CannotOpen when it cannot be opened or read or is not a regular file.
ReadStatus readFileBytes(const std::filesystem::path& path, uint64_t maxSize, std::vector<uint8_t>& bytes);

// Reads at most `count` bytes from the start of the file into `bytes` (fewer when the file is shorter).
// Fails with CannotOpen as readFileBytes does; never TooLarge.
ReadStatus readFileStart(const std::filesystem::path& path, size_t count, std::vector<uint8_t>& bytes);

} // namespace protocol
