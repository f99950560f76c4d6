#include "platform/log.h"

#include <mutex>

namespace quorvel::platform {
namespace {

std::mutex sink_mutex;

std::shared_ptr<LogSink>& current_sink() {
    static std::shared_ptr<LogSink> sink;
    return sink;
}

}  // namespace

std::shared_ptr<LogSink> set_log_sink(std::shared_ptr<LogSink> sink) {
    std::lock_guard guard(sink_mutex);
    current_sink().swap(sink);
    return sink;
}

void log(LogLevel level, std::string_view message) {
    std::shared_ptr<LogSink> sink;
    {
        std::lock_guard guard(sink_mutex);
        sink = current_sink();
    }
    if (sink) {
        sink->write(level, message);
    }
}

}  // namespace quorvel::platform
