#include "app/spin_repeat.h"

#include <gtest/gtest.h>

namespace app {
namespace {

using std::chrono::milliseconds;

// Holds a button from time 0 and releases it at `releaseAt`, polling every `poll` ms; the pointer is
// over the button until `leaveAt`. Returns the steps made and when the first one came.
struct Hold {
    int steps = 0;
    milliseconds firstStep{-1};
};

Hold hold(milliseconds releaseAt, milliseconds poll, milliseconds leaveAt = milliseconds{1'000'000}) {
    SpinRepeater r;
    Hold h;
    r.press(milliseconds{0});
    for (milliseconds t{0}; t < releaseAt; t += poll) {
        const int n = r.advance(t, t < leaveAt);
        if (n > 0 && h.steps == 0)
            h.firstStep = t;
        h.steps += n;
    }
    const int n = r.release(releaseAt, releaseAt < leaveAt);
    if (n > 0 && h.steps == 0)
        h.firstStep = releaseAt;
    h.steps += n;
    EXPECT_FALSE(r.pressed());
    return h;
}

TEST(SpinRepeat, StepsByHoldTime) {
    struct Case {
        int releaseAt;
        int poll;
        int leaveAt;
        int steps;
    };
    const Case cases[] = {
        {50, 10, 1'000'000, 1},                      // a plain click: one step
        {499, 10, 1'000'000, 1},                     // still a click
        {550, 10, 1'000'000, 1},                     // delay over, no repeat yet: still one step
        {1000, 10, 1'000'000, 5},                    // one second: five steps, at 600..1000 ms
        {1000, 100, 1'000'000, 5},                   // the timer's own period
        {1000, 350, 1'000'000, 5},                   // late timer events catch up
        {2000, 10, 1'000'000, 15}, {1000, 10, 0, 0}, // pointer away the whole time, released outside
        {300, 10, 0, 1},                             // released outside during the delay: the click's step
        {1000, 10, 750, 2},                          // steps at 600 and 700, none after leaving
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.releaseAt);
        SCOPED_TRACE(c.poll);
        const Hold h = hold(milliseconds{c.releaseAt}, milliseconds{c.poll}, milliseconds{c.leaveAt});
        EXPECT_EQ(h.steps, c.steps);
    }
    // No repeat step before the 500 ms delay is over.
    EXPECT_GE(hold(milliseconds{1000}, milliseconds{10}).firstStep, milliseconds{500});
}

TEST(SpinRepeat, StatesAndRestart) {
    SpinRepeater r;
    EXPECT_EQ(r.advance(milliseconds{1000}, true), 0);
    EXPECT_EQ(r.release(milliseconds{1000}, true), 0); // release without press
    r.press(milliseconds{10'000});
    EXPECT_EQ(r.state(), SpinRepeater::State::Delaying);
    EXPECT_EQ(r.advance(milliseconds{10'500}, true), 0);
    EXPECT_EQ(r.state(), SpinRepeater::State::Repeating);
    EXPECT_EQ(r.advance(milliseconds{10'600}, true), 1);
    r.press(milliseconds{20'000}); // pressed again: the delay starts over
    EXPECT_EQ(r.advance(milliseconds{20'300}, true), 0);
    EXPECT_EQ(r.release(milliseconds{20'350}, true), 1);
    EXPECT_EQ(r.state(), SpinRepeater::State::Idle);
}

} // namespace
} // namespace app
