#pragma once
// Whole-file reads and writes for tests (binary mode, no text conversion).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// The file's bytes; empty when it cannot be read.
std::string readText(const std::filesystem::path& path);
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

// Replaces the file, creating missing parent folders.
void writeText(const std::filesystem::path& path, std::string_view text);
void writeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

} // namespace testsupport
