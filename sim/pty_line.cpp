#include "sim/pty_line.h"

#include "base/raw_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sim {

PtyLine::~PtyLine() {
    close();
}

bool PtyLine::open(std::string& error) {
    char name[256] = {};
    if (openpty(&m_near, &m_far, name, nullptr, nullptr) != 0) {
        error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_farPath = name;
    fcntl(m_near, F_SETFD, FD_CLOEXEC);
    fcntl(m_far, F_SETFD, FD_CLOEXEC);
    fcntl(m_near, F_SETFL, fcntl(m_near, F_GETFL) | O_NONBLOCK);
    // Raw on both sides: no echo, no line editing, every byte value passes unchanged.
    base::makeRawTerminal(m_far);
    base::makeRawTerminal(m_near);
    return true;
}

bool PtyLine::link(const std::filesystem::path& path, std::string& error) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_symlink(status)) {
            error = path.string() + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        std::filesystem::remove(path, ec);
    }
    std::filesystem::create_symlink(m_farPath, path, ec);
    if (ec) {
        error = "cannot link " + path.string() + ": " + ec.message();
        return false;
    }
    m_link = path;
    return true;
}

std::size_t PtyLine::write(std::span<const std::uint8_t> bytes,
                           std::chrono::steady_clock::time_point deadline) {
    std::size_t done = 0;
    while (done < bytes.size() && m_near >= 0) {
        const ssize_t n = ::write(m_near, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{m_near, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
    return done;
}

void PtyLine::close() {
    if (!m_link.empty()) {
        // Only our own link: another simulator may have taken the path over since.
        std::error_code ec;
        if (std::filesystem::read_symlink(m_link, ec) == m_farPath)
            std::filesystem::remove(m_link, ec);
        m_link.clear();
    }
    if (m_far >= 0)
        ::close(m_far);
    if (m_near >= 0)
        ::close(m_near);
    m_far = m_near = -1;
}

} // namespace sim
