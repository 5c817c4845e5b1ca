#include "image/file_type.h"

#include "base/file_reader.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace image {

namespace {

// Enough to hold two Intel HEX lines of the longest record (255 data bytes).
constexpr size_t kPrefixSize = 2 * 600;

bool isHexLine(std::string_view line) {
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line.size() > 9 && line[0] == ':';
}

} // namespace

uint8_t detectFileType(const std::string& fileName) {
    // Only a regular file is looked into: a FIFO or a device would block the caller. What cannot be
    // read is left to the binary loader, which refuses it with its message.
    std::vector<uint8_t> prefix;
    if (base::readFileStart(fileName, kPrefixSize, prefix) != base::ReadStatus::Ok)
        return kFileTypeBinary;

    const std::string_view text(reinterpret_cast<const char*>(prefix.data()), prefix.size());
    const size_t firstEnd = text.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd + 1 < text.size()) {
        const std::string_view first = text.substr(0, firstEnd);
        std::string_view second = text.substr(firstEnd + 1);
        second = second.substr(0, second.find('\n'));
        if (isHexLine(first) && isHexLine(second))
            return kFileTypeHex;
    }
    static constexpr char kMapBin[8] = {'M', 'A', 'P', 'B', 'I', 'N', '0', '\0'};
    if (prefix.size() >= 16 && std::memcmp(prefix.data(), kMapBin, sizeof kMapBin) == 0)
        return kFileTypeMapBin;
    return kFileTypeBinary;
}

} // namespace image
