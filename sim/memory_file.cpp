#include "sim/memory_file.h"

#include "base/file_reader.h"
#include "base/write_failure_text.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

const char* readFailureText(base::ReadStatus status) {
    switch (status) {
    case base::ReadStatus::Missing:
        return "no such file";
    case base::ReadStatus::NotRegularFile:
        return "not a regular file (a folder, FIFO or device)";
    default:
        return "cannot be read (no permission?)";
    }
}

std::string hexAddress(std::uint32_t at) {
    char where[16];
    std::snprintf(where, sizeof where, "0x%X", at);
    return where;
}

} // namespace

bool loadMemoryFile(const std::filesystem::path& path, std::uint32_t at, std::vector<std::uint8_t>& memory,
                    std::string& error) {
    if (at > memory.size()) {
        error = "memory ends below " + hexAddress(at);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    const base::ReadStatus status = base::readFileBytes(path, memory.size() - at, bytes);
    if (status == base::ReadStatus::TooLarge) {
        error = path.string() + " does not fit into memory at " + hexAddress(at);
        return false;
    }
    if (status != base::ReadStatus::Ok) {
        error = path.string() + ": " + readFailureText(status);
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), memory.begin() + at);
    return true;
}

bool saveMemoryFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& memory,
                    std::string& error) {
    const auto last = std::find_if(memory.rbegin(), memory.rend(), [](std::uint8_t b) { return b != 0xFF; });
    const std::size_t length = static_cast<std::size_t>(memory.rend() - last);
    const base::WriteResult written = base::writeFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(memory.data()), length));
    error = base::writeFailureTextEnglish(written);
    return written.ok();
}

} // namespace sim
