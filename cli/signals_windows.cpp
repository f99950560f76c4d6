// Ctrl-C, Ctrl-Break and the console closing, through a console control
// handler, which the system calls on a thread of its own.

#include <windows.h>

#include <cstdlib>

#include "cli/signals.h"

namespace quorvel::cli {
namespace {

// What the handler acts on: the run of the one SignalStop there is.
std::atomic<std::stop_source*> stop_run{nullptr};
std::atomic<std::atomic<bool>*> stop_signalled{nullptr};

BOOL WINAPI on_console_event(DWORD event) {
    std::stop_source* run = stop_run.load();
    std::atomic<bool>* signalled = stop_signalled.load();
    if (run == nullptr || signalled == nullptr) {
        return FALSE;  // the system's own handling: the process ends
    }
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            if (signalled->exchange(true)) {
                // A second one: the user wants out now.
                static const char bye[] = "\nquorvel-cli: stopped at once\n";
                DWORD written = 0;
                WriteFile(GetStdHandle(STD_ERROR_HANDLE), bye, sizeof bye - 1, &written, nullptr);
                std::_Exit(130);
            }
            run->request_stop();
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            // The process ends as soon as this returns, so it waits here while
            // the run stops and its words are written; the program's exit
            // ends this thread too, and the system gives up after a few seconds.
            signalled->store(true);
            run->request_stop();
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

SignalStop::SignalStop(std::stop_source& run) : run_(run) {
    stop_signalled.store(&signalled_);
    stop_run.store(&run_);
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

SignalStop::~SignalStop() {
    SetConsoleCtrlHandler(on_console_event, FALSE);
    stop_run.store(nullptr);
    stop_signalled.store(nullptr);
}

}  // namespace quorvel::cli
