#include "cli/signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>

namespace quorvel::cli {
namespace {

sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

SignalStop::SignalStop(std::stop_source& run) : run_(run) {
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    waiter_ = std::jthread([this](std::stop_token quit) {
        const sigset_t signals = stop_signals();
        const timespec poll{0, 200 * 1000 * 1000};
        while (!quit.stop_requested()) {
            if (sigtimedwait(&signals, nullptr, &poll) < 0) {
                continue;  // the poll's time ran out, or an unrelated interruption
            }
            if (signalled_.exchange(true)) {
                // A second signal: the user wants out now.
                static const char bye[] = "\nquorvel-cli: stopped at once\n";
                (void)!::write(STDERR_FILENO, bye, sizeof bye - 1);
                ::_exit(130);
            }
            run_.request_stop();
        }
    });
}

SignalStop::~SignalStop() {
    waiter_.request_stop();
}

}  // namespace quorvel::cli
