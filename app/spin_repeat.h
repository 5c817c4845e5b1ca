#pragma once
// The auto-repeat of the value edit's spin buttons as a state machine over a millisecond clock that
// the caller reads (the widget from its steady clock, tests from a simulated one).
//
// A press starts ticks every kSpinTickPeriod counted from the press. The first kSpinDelayTicks ticks
// only count down; every later tick is one step, made only while the pointer is over the pressed
// button. Releasing stops the ticks; a press that has made no step by then (a plain click) makes
// exactly one, unless the delay is over and the pointer has left the button.

#include <chrono>
#include <cstdint>

namespace app {

inline constexpr std::chrono::milliseconds kSpinTickPeriod{100};
inline constexpr int kSpinDelayTicks = 5;

class SpinRepeater {
  public:
    enum class State { Idle, Delaying, Repeating };

    // Starts counting from `now`; a press while already pressed starts over.
    void press(std::chrono::milliseconds now);
    // Works off the ticks due up to `now`. Returns the number of steps to make (0 when idle).
    int advance(std::chrono::milliseconds now, bool pointerOver);
    // Works off the due ticks, stops, and returns the steps to make, the click's step included.
    // Returns 0 when not pressed.
    int release(std::chrono::milliseconds now, bool pointerOver);

    State state() const { return m_state; }
    bool pressed() const { return m_state != State::Idle; }

  private:
    State m_state = State::Idle;
    std::chrono::milliseconds m_pressedAt{0};
    std::int64_t m_ticksDone = 0;
    int m_delay = 0;
    bool m_stepped = false;
};

} // namespace app
