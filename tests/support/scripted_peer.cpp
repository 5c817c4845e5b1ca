#include "support/scripted_peer.h"

namespace testsupport {

ScriptedPeer::ScriptedPeer(FakeLineState& line, Script script) : m_line(&line), m_script(std::move(script)) {
    line.onWrite = [this](const Bytes& frame, FakeLineState& state) {
        if (auto answer = receive(frame))
            state.input.insert(state.input.end(), answer->begin(), answer->end());
    };
}

ScriptedPeer::ScriptedPeer(PseudoTerminal& pty, Script script, std::chrono::milliseconds frameGap)
    : m_pty(&pty), m_script(std::move(script)), m_gap(frameGap), m_thread([this] { run(); }) {}

ScriptedPeer::~ScriptedPeer() {
    stop();
}

void ScriptedPeer::stop() {
    m_stop = true;
    if (m_line)
        m_line->onWrite = nullptr;
    m_line = nullptr;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<ScriptedPeer::Bytes> ScriptedPeer::frames() const {
    std::lock_guard lock(m_mutex);
    return m_frames;
}

std::optional<ScriptedPeer::Bytes> ScriptedPeer::receive(const Bytes& frame) {
    int index = 0;
    {
        std::lock_guard lock(m_mutex);
        index = static_cast<int>(m_frames.size());
        m_frames.push_back(frame);
    }
    return m_script(frame, index);
}

void ScriptedPeer::run() {
    for (;;) {
        // Wait briefly for the first byte so that stop() is noticed soon; a stop ends the thread only
        // once nothing is arriving, so a frame sent just before stop() is still seen.
        Bytes frame = m_pty->read(1, std::chrono::milliseconds(20));
        if (frame.empty()) {
            if (m_stop)
                break;
            continue;
        }
        Bytes rest = m_pty->readUntilGap(m_gap);
        frame.insert(frame.end(), rest.begin(), rest.end());
        if (auto answer = receive(frame))
            m_pty->write(*answer);
    }
}

} // namespace testsupport
