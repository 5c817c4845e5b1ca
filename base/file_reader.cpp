#include "base/file_reader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

// An open descriptor of a regular file, or -1 with `status` saying why. Non-blocking so that opening a
// FIFO does not wait for a writer; reads of a regular file ignore the flag.
int openRegularFile(const std::filesystem::path& path, struct stat& st, ReadStatus& status) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        status = errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::CannotOpen;
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = ReadStatus::NotRegularFile;
        ::close(fd);
        return -1;
    }
    return fd;
}

// Fills `bytes` from `fd` as far as the file goes; a file that shrank while being read is taken as it
// was read.
void readInto(int fd, std::vector<uint8_t>& bytes) {
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    bytes.resize(got);
}

} // namespace

namespace {

// Reads the file's first `count` bytes (all of it when shorter); a file longer than `count` is refused
// with TooLarge when `refuseLonger` is set, reading nothing.
ReadStatus readRegularFile(const std::filesystem::path& path, uint64_t count, bool refuseLonger,
                           std::vector<uint8_t>& bytes) {
    bytes.clear();
    struct stat st {};
    ReadStatus status = ReadStatus::Ok;
    const int fd = openRegularFile(path, st, status);
    if (fd < 0)
        return status;
    const auto size = static_cast<uint64_t>(st.st_size);
    if (refuseLonger && size > count) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    bytes.resize(static_cast<size_t>(std::min(size, count)));
    readInto(fd, bytes);
    ::close(fd);
    return ReadStatus::Ok;
}

} // namespace

ReadStatus readFileBytes(const std::filesystem::path& path, uint64_t maxSize, std::vector<uint8_t>& bytes) {
    return readRegularFile(path, maxSize, true, bytes);
}

ReadStatus readFileStart(const std::filesystem::path& path, size_t count, std::vector<uint8_t>& bytes) {
    return readRegularFile(path, count, false, bytes);
}

} // namespace base
