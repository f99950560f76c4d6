#include "tests/support/private_network.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

namespace quorvel::testsupport {
namespace {

void write_file(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::runtime_error(std::string("cannot write ") + path + ": " + std::strerror(error));
    }
    ::close(fd);
}

void bring_loopback_up() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!up) {
        throw std::runtime_error(std::string("cannot bring the loopback up: ") +
                                 std::strerror(error));
    }
}

}  // namespace

std::string address_for_https_port() {
    if (::geteuid() == 0) {
        std::random_device entropy;
        std::uniform_int_distribution<int> part(1, 254);
        return "127." + std::to_string(part(entropy)) + "." + std::to_string(part(entropy)) + "." +
               std::to_string(part(entropy));
    }
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
        throw std::runtime_error(std::string("no network of its own for the test: unshare: ") +
                                 std::strerror(errno));
    }
    write_file("/proc/self/setgroups", "deny");
    write_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
    write_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    bring_loopback_up();
    return "127.0.0.1";
}

}  // namespace quorvel::testsupport
