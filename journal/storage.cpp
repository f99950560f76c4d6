#include "journal/storage.h"

#include <chrono>

#include "platform/code_page.h"

namespace quorvel::journal {

sql::Result<void> configure(sql::Connection& db) {
    db.set_busy_timeout(busy_timeout_ms);
    return db.execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL;");
}

std::filesystem::path lock_folder(const std::filesystem::path& file) {
    std::filesystem::path folder = file;
    folder += ".locks";
    return folder;
}

std::filesystem::path lock_file(const std::filesystem::path& file, std::string_view token) {
    return lock_folder(file) / (std::string(token) + ".lock");
}

std::string utf8_from_code_page(std::string_view text) {
    return platform::convert_code_page(text, platform::code_page_gbk, platform::code_page_utf8);
}

std::string code_page_from_utf8(std::string_view text) {
    return platform::convert_code_page(text, platform::code_page_utf8, platform::code_page_gbk);
}

std::int64_t unix_ms_now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

JournalError storage_error(std::string_view what, const sql::Error& error) {
    return {JournalError::Kind::storage_failed, std::string(what) + ": " + error.text()};
}

std::string joined_seeds(const std::vector<std::string>& seeds) {
    std::string text;
    for (const std::string& seed : seeds) {
        text += seed;
        text += "\r\n";
    }
    return text;
}

}  // namespace quorvel::journal
