#pragma once
// The checkpoint of a device write: what was being written to which device, and the last page the
// device acknowledged, so that a write broken off (a line that went away, a power cut) can go on from
// the next page instead of starting over. The file is replaced atomically after each page (synced to
// the disk when the write breaks off) and removed when the write ends well. It is a few "key=value"
// lines; texts are UTF-8.

#include "base/atomic_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace app {

struct WriteCheckpoint {
    std::uint32_t imageCrc = 0; // of the image range being written
    std::int32_t imageStart = 0, imageEnd = 0;
    std::int32_t deviceAddress = 0;
    std::string profile;
    std::string port;
    std::int32_t lastPage = 0;     // the last page the device acknowledged
    std::uint32_t lastAddress = 0; // its first address
};

// The checkpoint file of writes to `deviceAddress` over `port`, beside the settings file.
std::filesystem::path checkpointPath(const std::filesystem::path& settingsFile, const std::string& port,
                                     std::int32_t deviceAddress);

// Replaces the file atomically; the result says why it could not.
base::WriteResult saveCheckpoint(const std::filesystem::path& path, const WriteCheckpoint& checkpoint,
                                 base::Durability durability = base::Durability::Synced);
// Empty when there is no file or it is not a whole checkpoint.
std::optional<WriteCheckpoint> loadCheckpoint(const std::filesystem::path& path);
void removeCheckpoint(const std::filesystem::path& path);

} // namespace app
