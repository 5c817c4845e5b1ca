#include "base/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

// Creates the temporary file beside `path`; -1 with `error` set when that is not possible.
int createTemporary(const std::filesystem::path& path, std::string& tmpl, std::string& error) {
    std::filesystem::path dir = path.parent_path();
    if (dir.empty())
        dir = ".";
    tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(tmpl.data());
    if (fd < 0)
        error = "cannot create a file in " + dir.string() + ": " + std::strerror(errno);
    return fd;
}

} // namespace

bool canWriteFileAtomically(const std::filesystem::path& path, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path.string() + " is a folder";
        return false;
    }
    std::string tmpl;
    const int fd = createTemporary(path, tmpl, error);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return true;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string& error,
                         Durability durability) {
    std::string tmpl;
    const int fd = createTemporary(path, tmpl, error);
    if (fd < 0)
        return false;
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + path.string() + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(tmpl.c_str());
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    // mkstemp creates the file readable by the owner only; a saved file gets the usual mode.
    (void)::fchmod(fd, 0644);
    const bool synced = durability == Durability::Unsynced || ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        error = "cannot write " + path.string() + ": " + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return false;
    }
    if (std::rename(tmpl.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path.string() + ": " + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return false;
    }
    return true;
}

} // namespace base
