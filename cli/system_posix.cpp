// The command line's system part on POSIX systems.

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>

#include "cli/system.h"

namespace quorvel::cli {

std::string_view data_folder_help() {
    return "The journal is $XDG_DATA_HOME/quorvel/quorvel.sqlite3 (~/.local/share/quorvel/ when\n"
           "XDG_DATA_HOME is unset). The signed-in marketplace session is cookies.txt in the same\n"
           "folder, written by the window's 登录淘宝 or by session import, and read by harvest,\n"
           "resume and doctor when it exists; the search page's related words (\"你是不是想找\")\n"
           "need it.";
}

void prepare_process() {
    std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> utf8_arguments(int argc, char* argv[]) {
    return std::vector<std::string>(argv, argv + argc);
}

bool is_terminal(std::FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

std::size_t terminal_columns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 100;
}

bool write_text(std::FILE* stream, std::string_view utf8) {
    const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
    return std::fflush(stream) == 0 && written;
}

LocalTime local_time(std::time_t moment) {
    LocalTime local;
    ::localtime_r(&moment, &local.fields);
    local.utc_offset_seconds = local.fields.tm_gmtoff;
    return local;
}

}  // namespace quorvel::cli
