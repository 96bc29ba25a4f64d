#include "stop_signals.h"

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <ctime>

namespace tools {

namespace {

sigset_t stopSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void blockStopSignals() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void unblockStopSignals() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int waitForStopSignal(std::chrono::milliseconds timeout) {
    const sigset_t set = stopSet();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec wait{static_cast<std::time_t>(seconds.count()),
                        static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count())};
    int signal = -1;
    do {
        signal = sigtimedwait(&set, nullptr, &wait);
    } while (signal < 0 && errno == EINTR);
    return signal > 0 ? signal : 0;
}

}  // namespace tools
