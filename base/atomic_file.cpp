#include "base/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

WriteResult failure(WriteStatus status, const std::filesystem::path& place, int err) {
    return {status, place, std::strerror(err)};
}

std::filesystem::path folderOf(const std::filesystem::path& path) {
    const std::filesystem::path dir = path.parent_path();
    return dir.empty() ? "." : dir;
}

// Creates the temporary file beside `path`; -1 with `result` set when that is not possible.
int createTemporary(const std::filesystem::path& path, std::string& tmpl, WriteResult& result) {
    const std::filesystem::path dir = folderOf(path);
    tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(tmpl.data());
    if (fd < 0)
        result = failure(WriteStatus::CannotCreate, dir, errno);
    return fd;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Puts the written temporary in the place of `path`. Unsynced, an existing file is exchanged with it
// and then removed: a rename over an existing file makes ext4 start writing the new file's data out at
// once (its guard for programs that do not sync), which cost more than the rest of a device write's
// work per page. Only a file is exchanged (a folder would end up under the temporary name); where the
// exchange is not available, or no file is there yet, a plain rename.
bool putInPlace(const std::string& temporary, const std::filesystem::path& path, Durability durability) {
#ifdef RENAME_EXCHANGE
    struct stat existing {};
    if (durability == Durability::Unsynced && ::lstat(path.c_str(), &existing) == 0 &&
        S_ISREG(existing.st_mode) &&
        ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temporary.c_str());
        return true;
    }
#endif
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

WriteResult canWriteFileAtomically(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return failure(WriteStatus::IsFolder, path, EISDIR);
    WriteResult result;
    std::string tmpl;
    const int fd = createTemporary(path, tmpl, result);
    if (fd < 0)
        return result;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return result;
}

WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                Durability durability) {
    WriteResult result;
    std::string tmpl;
    const int fd = createTemporary(path, tmpl, result);
    if (fd < 0)
        return result;
    if (!writeAll(fd, bytes)) {
        result = failure(WriteStatus::CannotWrite, path, errno);
        ::close(fd);
        ::unlink(tmpl.c_str());
        return result;
    }
    // mkstemp creates the file readable by the owner only; a saved file gets the usual mode.
    (void)::fchmod(fd, 0644);
    const bool synced = durability == Durability::Unsynced || ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        result = failure(WriteStatus::CannotWrite, path, errno);
        ::unlink(tmpl.c_str());
        return result;
    }
    if (!putInPlace(tmpl, path, durability)) {
        result = failure(WriteStatus::CannotReplace, path, errno);
        ::unlink(tmpl.c_str());
    }
    return result;
}

} // namespace base
