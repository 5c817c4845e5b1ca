#pragma once
// The serial devices present on this machine, for the port list of the settings dialog. Paths are
// UTF-8.

#include <filesystem>
#include <string>
#include <vector>

namespace app {

class SerialDeviceList {
  public:
    virtual ~SerialDeviceList() = default;
    // The device paths, in the order the port list shows them.
    virtual std::vector<std::string> devices() const = 0;
};

// The devices under a device folder (normally "/dev"): ttyS*, ttyUSB*, ttyACM* and the links in
// serial/by-id. Groups in that order; within a group, sorted by name with numbers compared by value
// (ttyS2 before ttyS10). A folder that is missing or unreadable lists nothing.
class SystemSerialDevices : public SerialDeviceList {
  public:
    explicit SystemSerialDevices(std::filesystem::path deviceDir = "/dev");
    std::vector<std::string> devices() const override;

  private:
    std::filesystem::path m_deviceDir;
};

} // namespace app
