#include "app/spin_repeat.h"

namespace app {

void SpinRepeater::press(std::chrono::milliseconds now) {
    m_state = State::Delaying;
    m_pressedAt = now;
    m_ticksDone = 0;
    m_delay = kSpinDelayTicks;
    m_stepped = false;
}

int SpinRepeater::advance(std::chrono::milliseconds now, bool pointerOver) {
    if (m_state == State::Idle || now < m_pressedAt)
        return 0;
    // Ticks are counted from the press time rather than from timer events, so a late timer event
    // catches up instead of stretching the delay.
    const std::int64_t due = (now - m_pressedAt) / kSpinTickPeriod;
    int steps = 0;
    for (; m_ticksDone < due; ++m_ticksDone) {
        if (m_delay > 0) {
            --m_delay;
            if (m_delay == 0)
                m_state = State::Repeating;
        } else if (pointerOver) {
            ++steps;
        }
    }
    if (steps > 0)
        m_stepped = true;
    return steps;
}

int SpinRepeater::release(std::chrono::milliseconds now, bool pointerOver) {
    if (m_state == State::Idle)
        return 0;
    int steps = advance(now, pointerOver);
    // A release between the end of the delay and the first repeat would otherwise make no step at all.
    if (!m_stepped && (m_delay > 0 || pointerOver))
        ++steps;
    m_state = State::Idle;
    return steps;
}

} // namespace app
