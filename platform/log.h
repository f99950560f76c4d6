#pragma once
// The program's log, as the core sees it: one process-wide sink behind a tiny
// interface, so the program can write a file and tests can capture what is
// said. Messages are code-page text; a sink that writes a file converts them.
// Nothing may be logged per word or per byte: only events a person would
// want to read afterwards.

#include <memory>
#include <string_view>

namespace quorvel::platform {

enum class LogLevel { info, warning, error };

class LogSink {
  public:
    virtual ~LogSink() = default;
    // Called from any thread; implementations serialise their own writes.
    virtual void write(LogLevel level, std::string_view message) = 0;
};

// Installs the sink every later line goes to (none: lines are dropped) and
// returns the one it replaces.
std::shared_ptr<LogSink> set_log_sink(std::shared_ptr<LogSink> sink);

void log(LogLevel level, std::string_view message);

inline void log_info(std::string_view message) {
    log(LogLevel::info, message);
}
inline void log_warning(std::string_view message) {
    log(LogLevel::warning, message);
}
inline void log_error(std::string_view message) {
    log(LogLevel::error, message);
}

}  // namespace quorvel::platform
