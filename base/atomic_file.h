#pragma once
// Writing a whole file so that readers see either the old file or the complete new one, never a
// half-written file: the bytes go to a temporary file beside the target, which is then renamed.

#include <filesystem>
#include <string>
#include <string_view>

namespace base {

// Why nothing was written: IsFolder when the path names a folder, CannotCreate when no file can be
// made beside it (the folder is missing or closed to us), CannotWrite when writing or flushing the
// bytes failed, CannotReplace when the finished file could not take the target's name.
enum class WriteStatus { Ok, IsFolder, CannotCreate, CannotWrite, CannotReplace };

// How far a replacement is carried before the write returns.
enum class Durability {
    Synced,   // on the disk: the new file outlives a power cut
    Unsynced, // with the system: the new file outlives a crash of the program; a power cut may leave
              // the old file (or, on some file systems, an empty one). For files replaced many times
              // a second, where a sync each time would cost more than the work itself.
};

// The outcome of a write. `place` is what the cause is about: the folder for CannotCreate, else the
// target. `systemText` is the system's own words for the cause (strerror), for the shell to quote.
struct WriteResult {
    WriteStatus status = WriteStatus::Ok;
    std::filesystem::path place;
    std::string systemText;

    bool ok() const { return status == WriteStatus::Ok; }
};

// Writes `bytes` to `path`, replacing an existing file. On failure leaves any existing file untouched
// and removes the temporary file.
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                Durability durability = Durability::Synced);

// Whether writeFileAtomically could write `path` now: the path is no folder and a file can be
// created beside it. Asked before work whose result would otherwise be lost; leaves nothing behind.
WriteResult canWriteFileAtomically(const std::filesystem::path& path);

} // namespace base
