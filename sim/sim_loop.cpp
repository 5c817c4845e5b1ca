#include "sim/sim_loop.h"

#include "sim/line_timing.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>
#include <vector>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// Longer than any frame of the protocol; a flood without a pause is cut here and thrown away.
constexpr std::size_t kMaxFrame = 8192;
// How long an answer may wait for room in the far end's queue before the rest is dropped.
constexpr auto kWriteTimeout = std::chrono::seconds(2);
// How often the stop flag is looked at while the line is quiet.
constexpr auto kIdlePoll = std::chrono::milliseconds(100);

// The wait until `t` for ppoll: frame gaps are fractions of a millisecond, finer than poll's unit.
timespec waitUntil(Clock::time_point t) {
    const auto left = std::max(Clock::duration::zero(), t - Clock::now());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
}

// Sleeps until `t`, waking up now and then to see whether a signal asked to stop. False when it did.
bool sleepUntil(Clock::time_point t, const volatile std::sig_atomic_t& stop) {
    while (!stop && Clock::now() < t)
        std::this_thread::sleep_until(std::min(t, Clock::now() + kIdlePoll));
    return !stop;
}

// Sends `bytes` as a line at `baud` would: in slices of about a millisecond, each one no earlier
// than its characters could have left the device.
void sendPaced(PtyLine& line, const std::vector<std::uint8_t>& bytes, std::uint32_t baud,
               unsigned characterBits, const volatile std::sig_atomic_t& stop) {
    const auto start = Clock::now();
    if (baud == 0) {
        line.write(bytes, start + kWriteTimeout);
        return;
    }
    const std::size_t slice = std::max<std::size_t>(1, baud / 10 / 1000);
    for (std::size_t done = 0; done < bytes.size() && !stop;) {
        const std::size_t n = std::min(slice, bytes.size() - done);
        if (!sleepUntil(start + wireTime(done + n, baud, characterBits), stop))
            return;
        if (line.write(std::span(bytes).subspan(done, n), Clock::now() + kWriteTimeout) != n)
            return;
        done += n;
    }
}

} // namespace

LoopEnd runSimLoop(PtyLine& line, std::vector<SimDevice>& devices, const LoopOptions& options,
                   const volatile std::sig_atomic_t& stop,
                   const std::function<void(const std::string&)>& log) {
    const auto gap = frameGap(options.baud);
    std::vector<std::uint8_t> frame;
    Clock::time_point firstByte{}, lastByte{};
    std::uint8_t buffer[4096];
    while (!stop) {
        const timespec timeout = waitUntil(frame.empty() ? Clock::now() + kIdlePoll : lastByte + gap);
        pollfd p{line.fd(), POLLIN, 0};
        const int ready = ::ppoll(&p, 1, &timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return LoopEnd::LineFailed;
        if (ready > 0 && (p.revents & POLLIN)) {
            const ssize_t n = ::read(line.fd(), buffer, sizeof buffer);
            if (n > 0) {
                const auto now = Clock::now();
                if (frame.empty())
                    firstByte = now;
                lastByte = now;
                if (options.echo)
                    line.write(std::span(buffer, static_cast<std::size_t>(n)), now + kWriteTimeout);
                frame.insert(frame.end(), buffer, buffer + n);
                if (frame.size() > kMaxFrame) {
                    if (log)
                        log("discarded " + std::to_string(frame.size()) + " bytes without a pause");
                    frame.clear();
                }
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return LoopEnd::LineFailed;
        } else if (ready > 0 && (p.revents & (POLLHUP | POLLERR))) {
            // Nobody holds the far end for a moment; wait instead of spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (frame.empty() || Clock::now() < lastByte + gap)
            continue;

        if (options.trace)
            options.trace(false, frame, firstByte);
        bool hangUp = false;
        for (SimDevice& device : devices) {
            const Reply reply = device.handleFrame(frame);
            hangUp = hangUp || reply.hangUp;
            if (log && !reply.note.empty())
                log(devices.size() > 1 ? "device " + std::to_string(device.address()) + ": " + reply.note
                                       : reply.note);
            if (reply.bytes.empty())
                continue;
            // The request took its wire time to arrive, then the line must be quiet for the gap.
            const auto earliest = firstByte + wireTime(frame.size(), options.baud, options.characterBits) +
                                  frameGap(options.baud) + options.replyDelay;
            if (!sleepUntil(earliest, stop))
                break;
            if (options.trace)
                options.trace(true, reply.bytes, Clock::now());
            sendPaced(line, reply.bytes, options.baud, options.characterBits, stop);
        }
        frame.clear();
        if (hangUp) {
            // Let the last answer reach the program before the line goes away.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            line.close();
            return LoopEnd::HungUp;
        }
    }
    return LoopEnd::Stopped;
}

} // namespace sim
