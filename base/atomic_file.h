#pragma once
// Writing a whole file so that readers see either the old file or the complete new one, never a
// half-written file: the bytes go to a temporary file beside the target, which is then renamed.

#include <filesystem>
#include <string>
#include <string_view>

namespace base {

// How far a replacement is carried before the write returns.
enum class Durability {
    Synced,   // on the disk: the new file outlives a power cut
    Unsynced, // with the system: the new file outlives a crash of the program; a power cut may leave
              // the old file (or, on some file systems, an empty one). For files replaced many times
              // a second, where a sync each time would cost more than the work itself.
};

// Writes `bytes` to `path`, replacing an existing file. On failure returns false, leaves any
// existing file untouched, removes the temporary file and puts a UTF-8 message into `error`.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& error,
                         Durability durability = Durability::Synced);

// True when writeFileAtomically could write `path` now: the path is no folder and a file can be
// created beside it. Asked before work whose result would otherwise be lost; leaves nothing behind.
// On failure puts a UTF-8 message into `error`.
bool canWriteFileAtomically(const std::filesystem::path& path, std::string& error);

} // namespace base
