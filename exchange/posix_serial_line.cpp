#include "exchange/posix_serial_line.h"

#include "exchange/deadline.h"

// <asm/termbits.h> gives termios2 and BOTHER, which <termios.h> would clash with; everything here
// goes through ioctl() directly, so <termios.h> is not needed.
#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace exchange {

namespace {

// Speeds with a classic Bnnn code; all others go through BOTHER.
constexpr std::array<std::pair<std::uint32_t, unsigned>, 18> kStandardSpeeds{{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
}};

std::string systemReason(int err) {
    return std::strerror(err);
}

std::string openFailure(const std::string& path, int err) {
    std::string reason = path + ": " + systemReason(err);
    if (err == EACCES || err == EPERM)
        reason += " (доступ к последовательным портам даёт группа dialout: вступите в неё командой "
                  "sudo usermod -aG dialout $USER и войдите в систему заново)";
    else if (err == EBUSY || err == EWOULDBLOCK)
        reason += " (порт занят другой программой)";
    return reason;
}

} // namespace

PosixSerialLine::~PosixSerialLine() {
    close();
}

bool PosixSerialLine::open(const std::string& path, std::string& reason) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = openFailure(path, errno);
        return false;
    }
    if (!::isatty(fd)) {
        reason = path + ": " + "не является последовательным портом";
        ::close(fd);
        return false;
    }
    // flock keeps out every other program that asks, root included; TIOCEXCL refuses later opens of
    // the device by anyone without CAP_SYS_ADMIN, even programs that do not use flock.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        reason = openFailure(path, errno == EWOULDBLOCK ? EBUSY : errno);
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    return true;
}

void PosixSerialLine::close() {
    if (m_fd < 0)
        return;
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_keptBegin = m_keptEnd = 0;
}

AppliedFormat PosixSerialLine::configure(const LineFormat& format) {
    AppliedFormat applied;
    if (m_fd < 0) {
        applied.reason = "порт закрыт";
        return applied;
    }
    termios2 tio{};
    if (::ioctl(m_fd, TCGETS2, &tio) != 0) {
        applied.reason = systemReason(errno);
        return applied;
    }
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &=
        ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL | CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;

    switch (format.parity) {
    case LineParity::None:
        break;
    case LineParity::Odd:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case LineParity::Even:
        tio.c_cflag |= PARENB;
        break;
    case LineParity::Mark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case LineParity::Space:
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (format.stopBits != LineStopBits::One)
        tio.c_cflag |= CSTOPB;
    applied.stopBitsReplaced = format.stopBits == LineStopBits::OnePointFive;

    unsigned code = BOTHER;
    for (const auto& [speed, bits] : kStandardSpeeds)
        if (speed == format.baud)
            code = bits;
    tio.c_cflag |= code;
    tio.c_ispeed = format.baud;
    tio.c_ospeed = format.baud;

    if (::ioctl(m_fd, TCSETS2, &tio) != 0) {
        applied.reason = systemReason(errno);
        return applied;
    }
    termios2 back{};
    if (::ioctl(m_fd, TCGETS2, &back) == 0)
        applied.baud = back.c_ospeed;
    applied.ok = true;
    return applied;
}

bool PosixSerialLine::setModemLines(bool dtr, bool rts) {
    if (m_fd < 0)
        return false;
    int raise = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
    int lower = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
    bool ok = true;
    if (raise && ::ioctl(m_fd, TIOCMBIS, &raise) != 0)
        ok = false;
    if (lower && ::ioctl(m_fd, TIOCMBIC, &lower) != 0)
        ok = false;
    return ok;
}

int PosixSerialLine::sliced(int timeoutMs) const {
    if (!hasWaitHook())
        return timeoutMs;
    return std::min(timeoutMs, static_cast<int>(kWaitSlice.count()));
}

std::size_t PosixSerialLine::read(std::span<std::uint8_t> buffer, ReadLimits limits) {
    if (m_fd < 0 || buffer.empty())
        return 0;
    beginWait();
    const Deadline total = Deadline::after(limits.total);
    std::size_t got = takeKept(buffer);
    SteadyClock::time_point lastByte = got > 0 ? SteadyClock::now() : SteadyClock::time_point{};
    while (got < buffer.size()) {
        // The inter-byte wait counts from the last byte, not from each turn of this loop.
        const Deadline wait = got == 0 ? total : total.capped(limits.interByte, lastByte);
        pollfd p{m_fd, POLLIN, 0};
        int r = ::poll(&p, 1, sliced(wait.pollTimeout()));
        if (r < 0 && errno == EINTR)
            continue;
        if (r == 0 && !wait.expired()) {
            if (waiting())
                break;
            continue;
        }
        if (r <= 0 || !(p.revents & POLLIN))
            break; // timeout, hang-up or error: the caller sees a short count
        ssize_t n = readSome(buffer.subspan(got));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
        lastByte = SteadyClock::now();
    }
    return got;
}

std::size_t PosixSerialLine::takeKept(std::span<std::uint8_t> buffer) {
    const std::size_t n = std::min(buffer.size(), m_keptEnd - m_keptBegin);
    std::copy_n(m_kept.begin() + static_cast<std::ptrdiff_t>(m_keptBegin), n, buffer.begin());
    m_keptBegin += n;
    return n;
}

ssize_t PosixSerialLine::readSome(std::span<std::uint8_t> buffer) {
    if (buffer.size() >= m_kept.size())
        return ::read(m_fd, buffer.data(), buffer.size());
    const ssize_t n = ::read(m_fd, m_kept.data(), m_kept.size());
    if (n <= 0)
        return n;
    m_keptBegin = 0;
    m_keptEnd = static_cast<std::size_t>(n);
    return static_cast<ssize_t>(takeKept(buffer));
}

std::size_t PosixSerialLine::write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds total) {
    if (m_fd < 0 || bytes.empty())
        return 0;
    beginWait();
    const Deadline deadline = Deadline::after(total);
    // Non-blocking only for the duration of the write: a blocking write() would wait for the whole
    // buffer to fit into the kernel queue, past the budget.
    int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            break;
        if (deadline.expired())
            break;
        pollfd p{m_fd, POLLOUT, 0};
        int r = ::poll(&p, 1, sliced(deadline.pollTimeout()));
        if (r == 0 && !deadline.expired()) {
            if (waiting())
                break;
            continue;
        }
        if (r == 0 || (r > 0 && !(p.revents & POLLOUT)))
            break;
    }
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags);
    return done;
}

std::size_t PosixSerialLine::inputCount() {
    int count = 0;
    const std::size_t kept = m_keptEnd - m_keptBegin;
    if (m_fd < 0 || ::ioctl(m_fd, FIONREAD, &count) != 0 || count < 0)
        return kept;
    return kept + static_cast<std::size_t>(count);
}

void PosixSerialLine::drain() {
    if (m_fd >= 0)
        ::ioctl(m_fd, TCSBRK, 1); // what tcdrain() does
}

void PosixSerialLine::discard() {
    m_keptBegin = m_keptEnd = 0;
    if (m_fd >= 0)
        ::ioctl(m_fd, TCFLSH, TCIOFLUSH);
}

} // namespace exchange
