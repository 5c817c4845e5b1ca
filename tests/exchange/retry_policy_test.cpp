#include "exchange/retry_policy.h"

#include <gtest/gtest.h>

using exchange::AttemptEnd;
using exchange::AttemptResult;
using exchange::nextStep;

// Rows as ExecuteCommand's rules state them: the attempt's end under each exception mode
// (0 abort, 1 repeat, 2 ignore), with at most three attempts.
TEST(RetryPolicy, FollowsTheExceptionModeRules) {
    struct Case {
        const char* what;
        int mode;
        AttemptResult attempt;
        bool repeatGarbled;
        int attemptNumber;
        exchange::ExchangeResult result;
        bool again;
        bool counted;
    };
    const AttemptResult answer{AttemptEnd::Answer};
    const AttemptResult none{AttemptEnd::NoAnswer};
    const AttemptResult garbled{AttemptEnd::Garbled};
    const AttemptResult code5{AttemptEnd::Exception, 5, false};
    const AttemptResult code0{AttemptEnd::Exception, 0, false};
    const AttemptResult code5Ignored{AttemptEnd::Exception, 5, true};
    const AttemptResult noCode{AttemptEnd::Exception, -1, false};
    const AttemptResult noEcho{AttemptEnd::NoEcho};
    const AttemptResult cancelled{AttemptEnd::Cancelled};
    const Case cases[] = {
        {"answer, abort", 0, answer, false, 1, 0, false, false},
        {"answer, repeat", 1, answer, true, 1, 0, false, false},
        {"answer, ignore", 2, answer, false, 1, 0, false, false},

        {"no answer, abort", 0, none, false, 1, -1, false, true},
        {"no answer, repeat, first", 1, none, false, 1, -1, true, true},
        {"no answer, repeat, second", 1, none, false, 2, -1, true, true},
        {"no answer, repeat, third is the last", 1, none, false, 3, -1, false, true},
        {"no answer, ignore", 2, none, false, 1, 0, false, false},

        {"garbled, abort", 0, garbled, false, 1, -2, false, true},
        {"garbled, abort, repeat garbled", 0, garbled, true, 1, -2, false, true},
        {"garbled, repeat", 1, garbled, false, 1, -2, false, true},
        {"garbled, repeat, repeat garbled", 1, garbled, true, 1, -2, true, true},
        {"garbled, repeat, repeat garbled, third", 1, garbled, true, 3, -2, false, true},
        {"garbled, ignore, repeat garbled", 2, garbled, true, 1, -2, false, true},

        {"exception 5, abort", 0, code5, false, 1, 6, false, true},
        {"exception 0, abort", 0, code0, false, 1, 1, false, true},
        {"exception 5, repeat", 1, code5, false, 1, 6, true, true},
        {"exception 5, repeat, third", 1, code5, false, 3, 6, false, true},
        {"exception 5, ignore", 2, code5, false, 1, 0, false, false},
        {"exception 5 ignored, abort", 0, code5Ignored, false, 1, 0, false, false},
        {"exception 5 ignored, repeat", 1, code5Ignored, false, 1, 0, false, false},
        {"exception without code, abort", 0, noCode, false, 1, 0, false, false},
        {"exception without code, repeat", 1, noCode, false, 1, 0, false, false},

        {"no echo, repeat", 1, noEcho, true, 1, -3, false, false},
        {"no echo, ignore", 2, noEcho, false, 1, -3, false, false},
        {"cancelled, repeat", 1, cancelled, true, 1, -6, false, false},
        {"cancelled, ignore", 2, cancelled, false, 2, -6, false, false},
    };
    for (const Case& c : cases) {
        const exchange::AttemptVerdict v = nextStep(c.mode, c.attempt, c.repeatGarbled, c.attemptNumber);
        EXPECT_EQ(v.result, c.result) << c.what;
        EXPECT_EQ(v.again, c.again) << c.what;
        EXPECT_EQ(v.counted, c.counted) << c.what;
    }
}
