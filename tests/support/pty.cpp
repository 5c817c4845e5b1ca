#include "support/pty.h"

#include "base/raw_terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

// Waits until `fd` is readable or the deadline passes. True when readable.
bool waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left < 0)
            left = 0;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r > 0)
            return (p.revents & POLLIN) != 0;
        if (r == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

// Waits until `deadline` for `fd` and appends what one read gives (at most `want` bytes). False
// when nothing came or the side was closed.
bool readSome(int fd, Clock::time_point deadline, std::size_t want, std::vector<std::uint8_t>& out) {
    while (waitReadable(fd, deadline)) {
        std::uint8_t buf[4096];
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, want));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out.insert(out.end(), buf, buf + n);
        return true;
    }
    return false;
}

} // namespace

PseudoTerminal::PseudoTerminal() {
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty failed: ") + std::strerror(errno));
    m_slavePath = name;
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    base::makeRawTerminal(m_master);
    base::makeRawTerminal(m_slave);
}

PseudoTerminal::~PseudoTerminal() {
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

bool PseudoTerminal::write(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool PseudoTerminal::write(std::string_view bytes) {
    return write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::vector<std::uint8_t> PseudoTerminal::read(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> out;
    const auto deadline = Clock::now() + timeout;
    while (out.size() < count && readSome(m_master, deadline, count - out.size(), out)) {
    }
    return out;
}

std::vector<std::uint8_t> PseudoTerminal::readUntilGap(std::chrono::milliseconds gap,
                                                       std::chrono::milliseconds limit) {
    std::vector<std::uint8_t> out;
    const auto end = Clock::now() + limit;
    while (readSome(m_master, std::min(end, Clock::now() + gap), SIZE_MAX, out)) {
    }
    return out;
}

void PseudoTerminal::drain() {
    while (!read(4096, std::chrono::milliseconds(0)).empty()) {
    }
}

void PseudoTerminal::closeSlave() {
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
}

} // namespace testsupport
