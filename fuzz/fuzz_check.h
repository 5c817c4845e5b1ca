#pragma once
// The fuzz targets' assertion: a broken property aborts, which both the fuzzer and the replay
// driver report with the input that caused it.

#include <cstdlib>

inline void check(bool ok) {
    if (!ok)
        std::abort();
}
