#include "util/Signals.h"

#include <csignal>
#include <sys/signalfd.h>

namespace vexo {

int BlockStopSignals(bool ANonBlocking) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC | (ANonBlocking ? SFD_NONBLOCK : 0));
}

} // namespace vexo
