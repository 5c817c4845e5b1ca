#pragma once
// Expression tables: each expression is evaluated on one evaluator and its value or error code
// compared with the row.

#include "protocol/function_evaluator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace protocol {

struct EvalCase {
    const char* expression;
    long double value; // checked when error is 0
    uint16_t error;    // ErrorCode after Evaluate
};

inline void expectCases(TFunctionEvaluator& ev, const std::vector<EvalCase>& cases) {
    for (const auto& c : cases) {
        ev.setEquation(c.expression);
        const long double v = ev.Evaluate();
        EXPECT_EQ(ev.ErrorCode(), c.error) << c.expression;
        if (c.error == 0 && ev.ErrorCode() == 0) {
            EXPECT_EQ(v, c.value) << c.expression;
        }
    }
}

} // namespace protocol
