#pragma once
// A lowered file-size limit that stands in for a full disk (POSIX only).

#include <signal.h>
#include <sys/resource.h>

#include <csignal>

namespace quorvel::testsupport {

// Lowers the largest file this process may write while it lives; a write
// past it fails with EFBIG, as on a full disk, instead of raising SIGXFSZ.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*previous_handler_)(int) = nullptr;
};

}  // namespace quorvel::testsupport
