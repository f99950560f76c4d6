#pragma once
// A program run as a child process, its standard input given and its
// standard output and error collected while it runs.

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::testsupport {

struct ChildResult {
    int exit_code = -1;  // the status it exited with, or -1 when a signal ended it
    int signal = 0;      // the signal that ended it, if one did
    std::string out;
    std::string err;
    long max_rss_kb = 0;     // its peak resident memory
    double cpu_seconds = 0;  // user and system time it used
};

class ChildProcess {
  public:
    // Starts `argv[0]` with these arguments; `environment` adds to (or, with
    // an empty value, removes from) this process's environment.
    ChildProcess(const std::vector<std::string>& argv,
                 const std::map<std::string, std::string>& environment = {},
                 std::string input = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const;
    void send_signal(int signal);
    // Waits for it to end; collects everything it wrote.
    ChildResult wait();
    // What it has written to standard error so far.
    std::string err_so_far() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs it to its end.
ChildResult run_child(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& environment = {},
                      std::string input = {});

}  // namespace quorvel::testsupport
