#pragma once
// Captures the program's log for the length of a test: installs itself as
// the log sink and puts the previous one back when it goes.

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.h"

namespace quorvel::testsupport {

class CapturedLog {
  public:
    struct Line {
        platform::LogLevel level;
        std::string message;
    };

    CapturedLog() : sink_(std::make_shared<Sink>()) { previous_ = platform::set_log_sink(sink_); }
    ~CapturedLog() { platform::set_log_sink(previous_); }
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    std::vector<Line> lines() const {
        std::lock_guard guard(sink_->mutex);
        return sink_->lines;
    }
    // Every message logged so far, one per line.
    std::string text() const {
        std::string out;
        for (const Line& line : lines()) {
            out += line.message;
            out += '\n';
        }
        return out;
    }
    void clear() {
        std::lock_guard guard(sink_->mutex);
        sink_->lines.clear();
    }

  private:
    struct Sink : platform::LogSink {
        void write(platform::LogLevel level, std::string_view message) override {
            std::lock_guard guard(mutex);
            lines.push_back({level, std::string(message)});
        }
        mutable std::mutex mutex;
        std::vector<Line> lines;
    };
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<platform::LogSink> previous_;
};

}  // namespace quorvel::testsupport
