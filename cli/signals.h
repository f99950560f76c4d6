#pragma once
// SIGINT (Ctrl-C) and SIGTERM as the command line takes them (on Windows:
// Ctrl-C, Ctrl-Break and the console closing): the first asks the run to stop
// (the request in flight is aborted, what was found is kept); a second ends
// the program at once with status 130. One implementation per system
// (signals_posix.cpp, signals_windows.cpp).

#include <atomic>
#include <stop_token>
#include <thread>

namespace quorvel::cli {

class SignalStop {
  public:
    // On POSIX blocks both signals in the calling thread, and so in every
    // thread it starts afterwards, and waits for them on a thread of its own;
    // on Windows installs a console control handler. Construct it before any
    // other thread starts, and only one at a time.
    explicit SignalStop(std::stop_source& run);
    ~SignalStop();
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // Whether a signal stopped the run.
    bool signalled() const { return signalled_.load(); }

  private:
    std::stop_source& run_;
    std::atomic<bool> signalled_{false};
    std::jthread waiter_;  // the POSIX signal wait
};

}  // namespace quorvel::cli
