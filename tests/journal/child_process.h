#pragma once
// The journal's helper program (QUORVEL_JOURNAL_CHILD) in a process of its
// own, for the tests that need a second process.

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <initializer_list>
#include <string>
#include <vector>

namespace quorvel::journal::testing {

// The helper program running with these arguments, its standard output
// read line by line; killed when the object goes.
class Child {
  public:
    explicit Child(std::initializer_list<std::string> arguments) {
        int out[2];
        if (pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> words{QUORVEL_JOURNAL_CHILD};
        words.insert(words.end(), arguments);
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, QUORVEL_JOURNAL_CHILD, &actions, nullptr, argv.data(), environ) !=
            0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
    }
    ~Child() {
        kill_now();
        if (out_ >= 0) {
            close(out_);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next line it writes, without its line feed; empty after 30 s or at its end.
    std::string line() {
        std::string text;
        char c = 0;
        while (pid_ > 0) {
            pollfd ready{out_, POLLIN, 0};
            if (poll(&ready, 1, 30000) <= 0 || read(out_, &c, 1) != 1 || c == '\n') {
                break;
            }
            text += c;
        }
        return text;
    }

    // SIGKILL, then waits until it is gone, so its locks are gone too.
    void kill_now() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

}  // namespace quorvel::journal::testing
