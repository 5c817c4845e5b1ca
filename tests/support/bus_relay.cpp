#include "support/bus_relay.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace testsupport {

namespace {

void writeAll(int fd, const unsigned char* data, ssize_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, data, static_cast<size_t>(n));
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return;
        }
        data += w;
        n -= w;
    }
}

} // namespace

BusRelay::BusRelay(const std::vector<std::string>& devicePaths) {
    for (const auto& path : devicePaths) {
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            for (int d : m_devices)
                ::close(d);
            throw std::runtime_error("cannot open device line " + path);
        }
        termios t{};
        tcgetattr(fd, &t);
        cfmakeraw(&t);
        tcsetattr(fd, TCSANOW, &t);
        m_devices.push_back(fd);
    }
    m_thread = std::thread([this] { run(); });
}

BusRelay::~BusRelay() {
    m_stop = true;
    m_thread.join();
    for (int fd : m_devices)
        ::close(fd);
}

void BusRelay::run() {
    std::vector<pollfd> fds;
    fds.push_back({m_bus.masterFd(), POLLIN, 0});
    for (int fd : m_devices)
        fds.push_back({fd, POLLIN, 0});
    unsigned char buf[4096];
    while (!m_stop) {
        if (poll(fds.data(), fds.size(), 20) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n <= 0)
                continue;
            if (i == 0) {
                for (int fd : m_devices)
                    writeAll(fd, buf, n);
            } else {
                writeAll(m_bus.masterFd(), buf, n);
            }
        }
    }
}

} // namespace testsupport
