#include "sim/memory_file.h"

#include "protocol/atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace sim {

bool loadMemoryFile(const std::filesystem::path& path, std::uint32_t at, std::vector<std::uint8_t>& memory,
                    std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path.string();
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path.string();
        return false;
    }
    if (at > memory.size() || bytes.size() > memory.size() - at) {
        char where[16];
        std::snprintf(where, sizeof where, "0x%X", at);
        error = path.string() + " (" + std::to_string(bytes.size()) + " bytes) does not fit into memory at " +
                where;
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), memory.begin() + at);
    return true;
}

bool saveMemoryFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& memory,
                    std::string& error) {
    const auto last = std::find_if(memory.rbegin(), memory.rend(), [](std::uint8_t b) { return b != 0xFF; });
    const std::size_t length = static_cast<std::size_t>(memory.rend() - last);
    return protocol::writeFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(memory.data()), length), error);
}

} // namespace sim
