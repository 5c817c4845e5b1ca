#pragma once
// The simulated device's memory as a raw binary file.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

// Copies the whole file into `memory` from address `at`. Fails, leaving `memory` untouched and
// putting a message into `error`, when the file cannot be read or does not fit below memory.size().
bool loadMemoryFile(const std::filesystem::path& path, std::uint32_t at, std::vector<std::uint8_t>& memory,
                    std::string& error);

// Writes memory from address 0 up to its last byte that is not 0xFF (an empty file when every byte
// is 0xFF), so that loading the file at 0 gives the same memory. The file is replaced atomically;
// false with a message in `error` on failure.
bool saveMemoryFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& memory,
                    std::string& error);

} // namespace sim
