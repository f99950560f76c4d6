#include "platform/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel::platform {
namespace {

// Closes the descriptor however the read ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

tl::unexpected<FileReadError> failed(FileReadError::Kind kind, std::string reason) {
    return tl::unexpected(FileReadError{kind, std::move(reason)});
}

}  // namespace

tl::expected<std::string, FileReadError> read_whole_file(const std::filesystem::path& file,
                                                         FileReadLimits limits) {
    // Where only a regular file will do, opening a pipe must not wait for a writer.
    const Descriptor fd(
        ::open(file.c_str(), O_RDONLY | O_CLOEXEC | (limits.regular_only ? O_NONBLOCK : 0)));
    if (fd.get() < 0) {
        return failed(FileReadError::Kind::cannot_read, std::strerror(errno));
    }
    if (limits.regular_only) {
        struct stat status {};
        if (::fstat(fd.get(), &status) != 0) {
            return failed(FileReadError::Kind::cannot_read, std::strerror(errno));
        }
        if (!S_ISREG(status.st_mode)) {
            return failed(FileReadError::Kind::not_a_file, "not a regular file");
        }
    }
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return failed(FileReadError::Kind::cannot_read, std::strerror(errno));
        }
        if (n == 0) {
            return text;
        }
        if (static_cast<std::size_t>(n) > limits.max_size - text.size()) {
            return failed(FileReadError::Kind::too_large,
                          "larger than " + std::to_string(limits.max_size) + " bytes");
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace quorvel::platform
