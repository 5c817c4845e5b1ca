#include "app/write_checkpoint.h"

#include "base/atomic_file.h"

#include <fstream>
#include <map>
#include <sstream>

namespace app {

namespace {

std::map<std::string, std::string> readPairs(const std::filesystem::path& path) {
    std::map<std::string, std::string> pairs;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            pairs[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return pairs;
}

std::optional<std::int64_t> number(const std::map<std::string, std::string>& pairs, const std::string& key) {
    const auto it = pairs.find(key);
    if (it == pairs.end())
        return std::nullopt;
    std::istringstream text(it->second);
    std::int64_t value = 0;
    if (!(text >> value) || !text.eof())
        return std::nullopt;
    return value;
}

} // namespace

std::filesystem::path checkpointPath(const std::filesystem::path& settingsFile, const std::string& port,
                                     std::int32_t deviceAddress) {
    std::string name = std::filesystem::path(port).filename().string();
    for (char& c : name)
        if (c == '.' || c == ' ')
            c = '_';
    return settingsFile.parent_path() /
           ("write-" + name + "-" + std::to_string(deviceAddress) + ".checkpoint");
}

base::WriteResult saveCheckpoint(const std::filesystem::path& path, const WriteCheckpoint& c,
                                 base::Durability durability) {
    std::ostringstream text;
    text << "image_crc=" << c.imageCrc << "\nimage_start=" << c.imageStart << "\nimage_end=" << c.imageEnd
         << "\ndevice_address=" << c.deviceAddress << "\nprofile=" << c.profile << "\nport=" << c.port
         << "\nlast_page=" << c.lastPage << "\nlast_address=" << c.lastAddress << "\n";
    return base::writeFileAtomically(path, text.str(), durability);
}

std::optional<WriteCheckpoint> loadCheckpoint(const std::filesystem::path& path) {
    const auto pairs = readPairs(path);
    const auto crc = number(pairs, "image_crc"), start = number(pairs, "image_start"),
               end = number(pairs, "image_end"), address = number(pairs, "device_address"),
               page = number(pairs, "last_page"), at = number(pairs, "last_address");
    if (!crc || !start || !end || !address || !page || !at || !pairs.count("profile") || !pairs.count("port"))
        return std::nullopt;
    WriteCheckpoint c;
    c.imageCrc = static_cast<std::uint32_t>(*crc);
    c.imageStart = static_cast<std::int32_t>(*start);
    c.imageEnd = static_cast<std::int32_t>(*end);
    c.deviceAddress = static_cast<std::int32_t>(*address);
    c.profile = pairs.at("profile");
    c.port = pairs.at("port");
    c.lastPage = static_cast<std::int32_t>(*page);
    c.lastAddress = static_cast<std::uint32_t>(*at);
    return c;
}

void removeCheckpoint(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

} // namespace app
