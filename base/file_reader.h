#pragma once
// Whole-file reading for the loaders (memory images, protocol descriptions), with a size limit checked
// before anything is read. Only regular files are read: a folder, a FIFO or a device is refused at once,
// without waiting for a writer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace base {

// Why nothing was read: Missing when the path names nothing (or goes through something that is no
// folder), NotRegularFile for a folder, FIFO or device, CannotOpen when it exists but may not be opened
// (no permission) or reading failed.
enum class ReadStatus { Ok, Missing, NotRegularFile, CannotOpen, TooLarge };

// Reads the whole file into `bytes`. Fails with TooLarge, reading nothing, when the file holds more
// than `maxSize` bytes; otherwise with one of the causes above.
ReadStatus readFileBytes(const std::filesystem::path& path, uint64_t maxSize, std::vector<uint8_t>& bytes);

// Reads at most `count` bytes from the start of the file into `bytes` (fewer when the file is shorter).
// Fails as readFileBytes does, but never with TooLarge.
ReadStatus readFileStart(const std::filesystem::path& path, size_t count, std::vector<uint8_t>& bytes);

} // namespace base
