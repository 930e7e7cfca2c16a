#include "cli/Interrupt.h"

#include <csignal>

namespace kestrel::cli {

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
}

} // namespace

void CatchInterrupt() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait on the port returns at once and polls again, seeing the note sooner.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool Interrupted() {
    return gInterrupted != 0;
}

void ResetInterrupt() {
    gInterrupted = 0;
}

} // namespace kestrel::cli
