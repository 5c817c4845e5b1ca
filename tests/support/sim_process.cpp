#include "support/sim_process.h"

#include "support/paths.h"
#include "support/spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace testsupport {

SimProcess::SimProcess(const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    const std::string program = toolPath("velmora-sim").string();
    const int rc = spawnProgram(program, args, actions, m_pid);
    close(out[1]);
    m_out = out[0];
    if (rc != 0) {
        close(m_out);
        throw std::runtime_error("cannot start " + program);
    }
    // The first line is the path; read it byte by byte so nothing after it is swallowed.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{m_out, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            break;
        char c = 0;
        if (read(m_out, &c, 1) != 1 || c == '\n')
            break;
        m_path.push_back(c);
    }
    if (m_path.empty()) {
        stop(SIGKILL);
        throw std::runtime_error("velmora-sim printed no line path");
    }
}

SimProcess::~SimProcess() {
    if (!m_status && m_pid > 0)
        stop(SIGTERM);
    if (m_out >= 0)
        close(m_out);
}

std::optional<int> SimProcess::waitExit(std::chrono::milliseconds timeout) {
    if (m_status)
        return m_status;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = exitCodeOf(status);
            return m_status;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int SimProcess::stop(int signal) {
    if (m_status)
        return *m_status;
    kill(m_pid, signal);
    if (auto status = waitExit(std::chrono::seconds(5)))
        return *status;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_status = exitCodeOf(status);
    return *m_status;
}

} // namespace testsupport
