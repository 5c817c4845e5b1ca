#pragma once
// A scripted device on the master side of a pseudo-terminal: a thread that collects each frame the
// program sends (bytes up to a short gap) and answers it as the test's script says.

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

    // Starts listening on `pty`; a frame ends when nothing arrives for `frameGap`.
    ScriptedPeer(PseudoTerminal& pty, Script script,
                 std::chrono::milliseconds frameGap = std::chrono::milliseconds(4));
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    // Stops the thread once the line has been quiet for 20 ms (also done by the destructor); afterwards
    // frames() is final.
    void stop();
    // The frames received so far.
    std::vector<Bytes> frames() const;

  private:
    void run();

    PseudoTerminal& m_pty;
    Script m_script;
    std::chrono::milliseconds m_gap;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_frames;
    std::thread m_thread;
};

} // namespace testsupport
