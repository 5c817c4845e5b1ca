#include "cli/interrupt_catcher.h"

#include "cli/cli_context.h"

#include <csignal>
#include <unistd.h>

namespace cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_previous {};

extern "C" void onInterrupt(int) {
    if (g_interrupted)
        _exit(kExitCancelled);
    g_interrupted = 1;
}

} // namespace

InterruptCatcher::InterruptCatcher() {
    g_interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &g_previous);
}

InterruptCatcher::~InterruptCatcher() {
    sigaction(SIGINT, &g_previous, nullptr);
}

bool InterruptCatcher::interruptRequested() {
    return g_interrupted != 0;
}

} // namespace cli
