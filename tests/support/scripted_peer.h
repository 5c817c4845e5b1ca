#pragma once
// A scripted device at the other end of a serial line: it collects each frame the program sends and
// answers it as the test's script says. On the in-memory line (fake_serial_line.h) each write is one
// frame and the answer is there at once; on a pseudo-terminal a thread on the master side collects
// the bytes up to a short gap and writes the answer back.

#include "support/fake_serial_line.h"
#include "support/pty.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace testsupport {

class ScriptedPeer {
  public:
    using Bytes = std::vector<std::uint8_t>;
    // Called with each received frame and its number (from 0); returns the bytes to send back, or
    // nothing to stay silent.
    using Script = std::function<std::optional<Bytes>(const Bytes& frame, int index)>;

    // Answers on the in-memory line `line` (taking over its onWrite) until stopped.
    ScriptedPeer(FakeLineState& line, Script script);
    // Starts listening on `pty`; a frame ends when nothing arrives for `frameGap`.
    ScriptedPeer(PseudoTerminal& pty, Script script,
                 std::chrono::milliseconds frameGap = std::chrono::milliseconds(4));
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Stops answering; on a pseudo-terminal once the line has been quiet for 20 ms (also done by the
    // destructor). Afterwards frames() is final.
    void stop();
    // The frames received so far.
    std::vector<Bytes> frames() const;

  private:
    // Records the frame and returns the script's answer to it.
    std::optional<Bytes> receive(const Bytes& frame);
    void run();

    FakeLineState* m_line = nullptr;
    PseudoTerminal* m_pty = nullptr;
    Script m_script;
    std::chrono::milliseconds m_gap{0};
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_frames;
    std::thread m_thread;
};

} // namespace testsupport
