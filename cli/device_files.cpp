#include "cli/device_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>

namespace cli {

namespace {

std::string spanText(const app::AddressSpan& span) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%08X..0x%08X", static_cast<unsigned>(span.first),
                  static_cast<unsigned>(span.last));
    return text;
}

bool endsWithHex(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string ext = path.substr(path.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".hex";
}

// "velmora-read-20261209-142501-4711.hex": the time and the process keep two reads apart.
std::string fallbackName(const std::string& wanted) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return std::string("velmora-read-") + stamp + "-" + std::to_string(::getpid()) +
           (endsWithHex(wanted) ? ".hex" : ".bin");
}

} // namespace

std::string outsideWindowText(const app::DataOutsideWindow& outside) {
    std::string text;
    for (const app::AddressSpan* span : {&outside.below, &outside.above}) {
        if (span->empty())
            continue;
        text += (text.empty() ? "" : " and ") + spanText(*span);
    }
    return text;
}

image::FileResult saveImageFile(image::THEXFile& image, const std::string& path) {
    return endsWithHex(path) ? image.SaveHexFile(path) : image.SaveBinaryFile(path);
}

std::string saveFallbackFile(image::THEXFile& image, const std::string& wanted) {
    const std::string name = fallbackName(wanted);
    std::error_code ec;
    for (const std::filesystem::path& folder :
         {std::filesystem::current_path(ec), std::filesystem::temp_directory_path(ec)}) {
        if (folder.empty())
            continue;
        const std::string path = (folder / name).string();
        if (saveImageFile(image, path))
            return path;
    }
    return {};
}

} // namespace cli
