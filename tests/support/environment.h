#pragma once
// Environment variables for tests, on every platform: the variables a test
// sets for this process, and the time zone the C library reads from TZ.
// Names and values are UTF-8, on Windows too.

#include <optional>
#include <string>
#include <utility>

namespace quorvel::testsupport {

std::optional<std::string> environment_value(const std::string& name);
void set_environment(const std::string& name, const std::string& value);
// Windows' C runtime unsets a variable by giving it an empty value.
void unset_environment(const std::string& name);

// Sets TZ to a zone in the POSIX form ("CST-8" is UTC+8, "UTC0" is UTC),
// which both C libraries read, and makes the C library read it again.
void use_time_zone(const std::string& zone);

// An environment variable set (or, given a null pointer, unset) for the
// length of a test and put back as it was.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
        old_ = environment_value(name_);
        set(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    ~ScopedEnv() { set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void set(const std::optional<std::string>& value) {
        value ? set_environment(name_, *value) : unset_environment(name_);
    }
    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace quorvel::testsupport
