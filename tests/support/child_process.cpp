#include "tests/support/child_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quorvel::testsupport {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
        }
        read = fds[0];
        write = fds[1];
    }
};

void close_fd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

struct ChildProcess::Impl {
    pid_t pid = -1;
    mutable std::mutex mutex;
    std::string out;
    std::string err;
    std::thread out_reader;
    std::thread err_reader;
    std::thread writer;
    bool waited = false;
    ChildResult result;

    void read_all(int fd, std::string Impl::*into) {
        char buffer[8192];
        while (true) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            std::lock_guard guard(mutex);
            (this->*into).append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
    }
};

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::map<std::string, std::string>& environment, std::string input)
    : impl_(std::make_unique<Impl>()) {
    std::vector<std::string> env_texts;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (environment.count(name) == 0) {
            env_texts.push_back(entry);
        }
    }
    for (const auto& [name, value] : environment) {
        if (!value.empty()) {
            env_texts.push_back(name + "=" + value);
        }
    }
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> env;
    for (std::string& e : env_texts) {
        env.push_back(e.data());
    }
    env.push_back(nullptr);

    Pipe in;
    Pipe out;
    Pipe err;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in.read, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out.write, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.write, STDERR_FILENO);
    // The child starts with no signal blocked, whatever this process blocks.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned =
        ::posix_spawn(&impl_->pid, args[0], &actions, &attributes, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close_fd(in.read);
    close_fd(out.write);
    close_fd(err.write);
    if (spawned != 0) {
        close_fd(in.write);
        close_fd(out.read);
        close_fd(err.read);
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(spawned));
    }
    Impl* impl = impl_.get();
    impl->out_reader = std::thread([impl, fd = out.read] { impl->read_all(fd, &Impl::out); });
    impl->err_reader = std::thread([impl, fd = err.read] { impl->read_all(fd, &Impl::err); });
    impl->writer = std::thread([fd = in.write, input = std::move(input)]() mutable {
        // A child that stops reading makes write fail here, not end this process.
        sigset_t pipe_signal;
        sigemptyset(&pipe_signal);
        sigaddset(&pipe_signal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_signal, nullptr);
        std::string_view rest = input;
        while (!rest.empty()) {
            const ssize_t n = ::write(fd, rest.data(), rest.size());
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        ::close(fd);
    });
}

ChildProcess::~ChildProcess() {
    if (!impl_->waited) {
        ::kill(impl_->pid, SIGKILL);
        wait();
    }
}

pid_t ChildProcess::pid() const {
    return impl_->pid;
}

void ChildProcess::send_signal(int signal) {
    ::kill(impl_->pid, signal);
}

std::string ChildProcess::err_so_far() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->err;
}

ChildResult ChildProcess::wait() {
    if (impl_->waited) {
        return impl_->result;
    }
    int status = 0;
    rusage usage{};
    while (::wait4(impl_->pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    impl_->writer.join();
    impl_->out_reader.join();
    impl_->err_reader.join();
    impl_->waited = true;
    ChildResult& result = impl_->result;
    result.max_rss_kb = usage.ru_maxrss;
    result.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    std::lock_guard guard(impl_->mutex);
    result.out = impl_->out;
    result.err = impl_->err;
    return result;
}

ChildResult run_child(const std::vector<std::string>& argv,
                      const std::map<std::string, std::string>& environment, std::string input) {
    ChildProcess child(argv, environment, std::move(input));
    return child.wait();
}

}  // namespace quorvel::testsupport
