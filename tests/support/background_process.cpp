#include "support/background_process.h"

#include "support/spawn.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& args) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) || pipe2(errPipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    const int rc = spawnProgram(program, args, actions, m_pid);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot start " + program);
    }
    m_reader = std::thread([this, out = outPipe[0], err = errPipe[0]] {
        pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
        char buf[4096];
        while (fds[0].fd >= 0 || fds[1].fd >= 0) {
            if (poll(fds, 2, -1) < 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    continue;
                }
                std::lock_guard lock(m_mutex);
                (i == 0 ? m_result.out : m_result.err).append(buf, static_cast<size_t>(n));
            }
        }
    });
}

BackgroundProcess::~BackgroundProcess() {
    if (!m_waited) {
        ::kill(m_pid, SIGKILL);
        wait();
    }
}

bool BackgroundProcess::waitFor(const std::string& text, std::chrono::milliseconds timeout, bool error) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        {
            std::lock_guard lock(m_mutex);
            if ((error ? m_result.err : m_result.out).find(text) != std::string::npos)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool BackgroundProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(text, timeout, false);
}

bool BackgroundProcess::waitForError(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(text, timeout, true);
}

void BackgroundProcess::signal(int sig) {
    if (!m_waited)
        ::kill(m_pid, sig);
}

ProcessResult BackgroundProcess::wait() {
    if (!m_waited) {
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_reader.join();
        m_waited = true;
        m_result.exitCode = exitCodeOf(status);
    }
    std::lock_guard lock(m_mutex);
    return m_result;
}

} // namespace testsupport
