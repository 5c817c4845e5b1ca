#include "app/protocol_path.h"

#include <algorithm>

namespace app {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The program folder as found, with exactly one trailing separator.
std::string folderWithSlash(const std::filesystem::path& programDir) {
    std::string dir = programDir.string();
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

} // namespace

std::string StoreProtocolPath(std::string_view chosen, const std::filesystem::path& programDir) {
    while (!chosen.empty() && isBlank(chosen.front()))
        chosen.remove_prefix(1);
    while (!chosen.empty() && isBlank(chosen.back()))
        chosen.remove_suffix(1);
    if (programDir.empty())
        return std::string(chosen);
    const std::string dir = folderWithSlash(programDir);
    if (chosen.size() <= dir.size() || !chosen.starts_with(dir))
        return std::string(chosen);
    std::string rest(chosen.substr(dir.size()));
    if (rest.find('\\') != std::string::npos)
        return std::string(chosen);
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return "\\" + rest;
}

std::string ExpandProtocolPath(std::string_view stored, const std::filesystem::path& programDir) {
    if (stored.size() < 2 || stored.front() != '\\')
        return std::string(stored);
    std::string rest(stored.substr(1));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return folderWithSlash(programDir) + rest;
}

} // namespace app
