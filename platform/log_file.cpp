#include "platform/log_file.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/rotating_file_sink.h>

#include <exception>
#include <memory>

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
        logger->set_pattern("%Y-%m-%d %H:%M:%S.%e %-7l %v");
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
