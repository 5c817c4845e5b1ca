#include "app/serial_devices.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>
#include <system_error>

namespace app {

namespace {

struct DeviceGroup {
    std::string_view folder; // below the device folder; empty for the folder itself
    std::string_view prefix; // of the entry names
};

constexpr std::array<DeviceGroup, 4> kGroups{{
    {"", "ttyS"},
    {"", "ttyUSB"},
    {"", "ttyACM"},
    {"serial/by-id", ""},
}};

// Name order with runs of digits compared as numbers, so that ttyS10 follows ttyS9.
bool naturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

SystemSerialDevices::SystemSerialDevices(std::filesystem::path deviceDir)
    : m_deviceDir(std::move(deviceDir)) {}

std::vector<std::string> SystemSerialDevices::devices() const {
    std::vector<std::string> result;
    for (const DeviceGroup& group : kGroups) {
        const std::filesystem::path folder =
            group.folder.empty() ? m_deviceDir : m_deviceDir / std::filesystem::path(group.folder);
        std::error_code ec;
        std::filesystem::directory_iterator it(folder, ec);
        if (ec)
            continue;
        std::vector<std::string> names;
        for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
            if (ec)
                break;
            const std::string name = it->path().filename().string();
            // A bare prefix ("ttyS") is no numbered device.
            if (name.size() > group.prefix.size() && name.compare(0, group.prefix.size(), group.prefix) == 0)
                names.push_back(name);
        }
        std::sort(names.begin(), names.end(), naturalLess);
        for (const std::string& name : names)
            result.push_back((folder / name).string());
    }
    return result;
}

} // namespace app
