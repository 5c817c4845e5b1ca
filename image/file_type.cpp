#include "image/file_type.h"

#include <cstring>
#include <fstream>
#include <string_view>

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
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return kFileTypeBinary;
    std::string prefix(kPrefixSize, '\0');
    in.read(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    prefix.resize(static_cast<size_t>(in.gcount()));

    const std::string_view text(prefix);
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
