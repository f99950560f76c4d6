#include "platform/log_file.h"

#include <spdlog/logger.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/clock.h"

#include "platform/code_page.h"
#include "platform/log.h"
#include "platform/user_folders.h"

namespace quorvel::platform {
namespace {

class FileSink : public LogSink {
  public:
    explicit FileSink(std::shared_ptr<spdlog::logger> logger) : logger_(std::move(logger)) {}

    void write(LogLevel level, std::string_view message) override {
        const std::string utf8 = convert_code_page(message, code_page_gbk, code_page_utf8);
        logger_->log(level_of(level), "{}", utf8);
    }

  private:
    static spdlog::level::level_enum level_of(LogLevel level) {
        switch (level) {
            case LogLevel::info:
                return spdlog::level::info;
            case LogLevel::warning:
                return spdlog::level::warn;
            case LogLevel::error:
                break;
        }
        return spdlog::level::err;
    }

    std::shared_ptr<spdlog::logger> logger_;
};

// A line's local date and time to the millisecond, from the program's own
// clock: spdlog's date flags read the C runtime's localtime, which on
// Windows follows TZ rather than Windows' time zone.
class LocalTimeFlag : public spdlog::custom_flag_formatter {
  public:
    void format(const spdlog::details::log_msg& message, const std::tm&,
                spdlog::memory_buf_t& out) override {
        const std::int64_t ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(message.time.time_since_epoch())
                .count();
        const std::int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        const LocalDateTime t = local_time_of(seconds);
        char text[40];
        const int length =
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month,
                          t.day, t.hour, t.minute, t.second, static_cast<int>(ms - seconds * 1000));
        out.append(text, text + length);
    }

    std::unique_ptr<custom_flag_formatter> clone() const override {
        return std::make_unique<LocalTimeFlag>();
    }
};

}  // namespace

tl::expected<void, std::string> open_log_file(const std::filesystem::path& folder,
                                              const std::string& name) {
    if (auto made = make_private_folder(folder); !made) {
        return made;
    }
    try {
        // The current file and four rotated ones.
        auto file = std::make_shared<spdlog::sinks::rotating_file_sink_mt>(
            (folder / name).string(), log_file_size, log_file_count - 1);
        auto logger = std::make_shared<spdlog::logger>("quorvel", std::move(file));
        auto formatter = std::make_unique<spdlog::pattern_formatter>();
        formatter->add_flag<LocalTimeFlag>('*').set_pattern("%* %-7l %v");
        logger->set_formatter(std::move(formatter));
        logger->set_level(spdlog::level::info);
        // Lines are few; each reaches the disk at once, so a crash loses none.
        logger->flush_on(spdlog::level::info);
        set_log_sink(std::make_shared<FileSink>(std::move(logger)));
        return {};
    } catch (const std::exception& error) {
        return tl::unexpected(std::string("cannot open the log file: ") + error.what());
    }
}

}  // namespace quorvel::platform
