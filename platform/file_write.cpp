#include "platform/file_write.h"

#include <chrono>
#include <random>
#include <utility>

#include "platform/file_write_system.h"

namespace quorvel::platform {
namespace {

// Eight random letters; a name already taken is only tried again, so the
// generator need not be strong.
std::string random_letters() {
    static constexpr std::string_view letters =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator = [] {
        std::random_device entropy;
        std::seed_seq seed{
            entropy(), entropy(),
            static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937_64(seed);
    }();
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string text;
    for (int i = 0; i < 8; ++i) {
        text += letters[pick(generator)];
    }
    return text;
}

}  // namespace

tl::expected<AtomicFile, FileWriteError> AtomicFile::create(const std::filesystem::path& target,
                                                            NewFileAccess access) {
    constexpr int attempts = 100;
    for (int attempt = 1;; ++attempt) {
        std::filesystem::path name = target;
        name += ".partial-" + random_letters();
        file_system::Created created = file_system::create_new(name, access);
        if (created.handle != file_system::no_handle) {
            return AtomicFile(target, std::move(name), created.handle);
        }
        if (!created.exists) {
            return tl::unexpected(std::move(created.error));
        }
        if (attempt == attempts) {
            return tl::unexpected(FileWriteError{
                FileWriteError::Kind::other, "no free temporary name beside the file",
                "create: " + std::to_string(attempts) + " names taken"});
        }
    }
}

AtomicFile::AtomicFile(std::filesystem::path target, std::filesystem::path temporary,
                       std::intptr_t handle)
    : target_(std::move(target)), temporary_(std::move(temporary)), handle_(handle) {}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)),
      handle_(std::exchange(other.handle_, file_system::no_handle)) {
    other.temporary_.clear();
}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::move(other.temporary_);
        handle_ = std::exchange(other.handle_, file_system::no_handle);
        other.temporary_.clear();
    }
    return *this;
}

AtomicFile::~AtomicFile() {
    discard();
}

FileWritten AtomicFile::write(std::string_view bytes) {
    if (auto failed = file_system::write_all(handle_, bytes)) {
        return tl::unexpected(std::move(*failed));
    }
    return {};
}

FileWritten AtomicFile::commit() {
    std::optional<FileWriteError> failed =
        file_system::flush_and_close(std::exchange(handle_, file_system::no_handle));
    if (!failed) {
        failed = file_system::replace(temporary_, target_);
    }
    if (failed) {
        discard();
        return tl::unexpected(std::move(*failed));
    }
    temporary_.clear();
    return {};
}

void AtomicFile::discard() {
    if (handle_ != file_system::no_handle) {
        file_system::close(std::exchange(handle_, file_system::no_handle));
    }
    if (!temporary_.empty()) {
        file_system::remove(temporary_);
        temporary_.clear();
    }
}

}  // namespace quorvel::platform
