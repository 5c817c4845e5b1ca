#include "protocol/file_reader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace protocol {

ReadStatus readFileBytes(const std::filesystem::path& path, uint64_t maxSize, std::vector<uint8_t>& bytes) {
    bytes.clear();
    // Non-blocking so that opening a FIFO does not wait for a writer; reads of a regular file ignore it.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return ReadStatus::CannotOpen;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadStatus::CannotOpen;
    }
    if (static_cast<uint64_t>(st.st_size) > maxSize) {
        ::close(fd);
        return ReadStatus::TooLarge;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    // A file that shrank while being read is taken as it was read.
    bytes.resize(got);
    return ReadStatus::Ok;
}

} // namespace protocol
