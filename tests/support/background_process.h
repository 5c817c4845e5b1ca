#pragma once
// A tool of this build running in the background while a test watches its output and may signal it
// (a Ctrl-C in the middle of an operation).

#include "support/process.h"

#include <chrono>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

class BackgroundProcess {
  public:
    // Starts `program` with `args`; standard input is empty. Throws std::runtime_error when it cannot
    // be started.
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args);
    // Kills it (SIGKILL) if it still runs.
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Waits until standard output (or error) holds `text`; false after `timeout`.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    bool waitForError(const std::string& text, std::chrono::milliseconds timeout);
    void signal(int sig);
    // Waits for the end and returns what it said; exitCode is 128 + signal when killed.
    ProcessResult wait();

  private:
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout, bool error);

    pid_t m_pid = -1;
    std::mutex m_mutex;
    ProcessResult m_result;
    std::thread m_reader;
    bool m_waited = false;
};

} // namespace testsupport
