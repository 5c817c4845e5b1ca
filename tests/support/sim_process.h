#pragma once
// Runs velmora-sim as a child process for tests that need a device on a real pseudo-terminal.

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class SimProcess {
  public:
    // Starts the simulator of this build with `args` and waits (at most 10 s) for the line path it
    // prints. Throws std::runtime_error when it does not start or prints nothing. Its standard error
    // goes to the test's.
    explicit SimProcess(const std::vector<std::string>& args = {});
    // Stops it with SIGTERM if it still runs (SIGKILL when it does not end within 5 s).
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pseudo-terminal path to open as a serial port.
    const std::string& linePath() const { return m_path; }

    // Sends `signal` and waits for the end: the exit status, or 128 + signal number.
    int stop(int signal = 15);
    // Waits up to `timeout` for the simulator to end by itself: its status as for stop(), or empty.
    std::optional<int> waitExit(std::chrono::milliseconds timeout);

  private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_path;
    std::optional<int> m_status;
};

} // namespace testsupport
