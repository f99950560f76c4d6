#pragma once
// An environment variable set for the length of a test and put back as it
// was. Windows' C runtime has _putenv_s instead of setenv and unsetenv, and
// there an empty value unsets the variable.

#include <cstdlib>
#include <optional>
#include <string>

namespace quorvel::platform::testing_env {

#ifdef _WIN32
inline void set_variable(const char* name, const char* value) {
    _putenv_s(name, value != nullptr ? value : "");
}
#else
inline void set_variable(const char* name, const char* value) {
    value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
}
#endif

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        set_variable(name, value);
    }
    ~ScopedEnv() { set_variable(name_, old_ ? old_->c_str() : nullptr); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace quorvel::platform::testing_env
