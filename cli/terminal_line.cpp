#include "cli/terminal_line.h"

#include <cstdio>

namespace cli {

namespace {
bool g_shown = false;
}

void showProgressLine(const std::string& text) {
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    g_shown = true;
}

void endProgressLine() {
    if (g_shown)
        std::fputc('\n', stderr);
    g_shown = false;
}

} // namespace cli
