// The command line's system part on Windows: console or redirected stream,
// the console's width, WriteConsoleW for console text.

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "cli/system.h"
#include "platform/clock.h"

namespace quorvel::cli {

std::string_view data_folder_help() {
    return "The journal is %LOCALAPPDATA%\\Quorvel\\quorvel.sqlite3. The signed-in marketplace\n"
           "session is cookies.txt in the same folder (a Netscape cookies.txt), written by the\n"
           "window's 登录淘宝 or by session import, and read by harvest, resume and doctor when\n"
           "it exists; the search page's related words (\"你是不是想找\") need it.";
}
namespace {

// The console behind the stream; none when it goes to a file or a pipe.
HANDLE console_of(std::FILE* stream) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return nullptr;
    }
    return handle;
}

void take_escape_sequences(std::FILE* stream) {
    if (const HANDLE console = console_of(stream)) {
        DWORD mode = 0;
        GetConsoleMode(console, &mode);
        SetConsoleMode(console,
                       mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

std::wstring utf16_of(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(),
                            size);
    }
    return text;
}

}  // namespace

void prepare_process() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    take_escape_sequences(stdout);
    take_escape_sequences(stderr);
}

std::vector<std::string> utf8_arguments(int argc, char* argv[]) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        const std::wstring_view text(wide[i]);
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0, nullptr, nullptr);
        std::string argument(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
        if (size > 0) {
            WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                argument.data(), size, nullptr, nullptr);
        }
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}

bool is_terminal(std::FILE* stream) {
    return console_of(stream) != nullptr;
}

std::size_t terminal_columns(std::FILE* stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (const HANDLE console = console_of(stream);
        console != nullptr && GetConsoleScreenBufferInfo(console, &info)) {
        const int columns = info.srWindow.Right - info.srWindow.Left + 1;
        if (columns > 0) {
            return static_cast<std::size_t>(columns);
        }
    }
    return 100;
}

bool write_text(std::FILE* stream, std::string_view utf8) {
    const HANDLE console = console_of(stream);
    if (console == nullptr) {
        const bool written = std::fwrite(utf8.data(), 1, utf8.size(), stream) == utf8.size();
        return std::fflush(stream) == 0 && written;
    }
    // What the stream holds still goes first.
    std::fflush(stream);
    const std::wstring text = utf16_of(utf8);
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 16384));
        if (!WriteConsoleW(console, text.data() + done, chunk, &written, nullptr) || written == 0) {
            errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

LocalTime local_time(std::time_t moment) {
    // Windows' own time zone setting: the C runtime's localtime_s follows TZ.
    const platform::LocalDateTime t = platform::local_time_of(moment);
    LocalTime local;
    local.fields.tm_year = t.year - 1900;
    local.fields.tm_mon = t.month - 1;
    local.fields.tm_mday = t.day;
    local.fields.tm_wday = t.day_of_week;
    local.fields.tm_hour = t.hour;
    local.fields.tm_min = t.minute;
    local.fields.tm_sec = t.second;
    std::tm copy = local.fields;
    // The local fields read as UTC, less the moment: the offset then.
    local.utc_offset_seconds = static_cast<long>(_mkgmtime(&copy) - moment);
    return local;
}

}  // namespace quorvel::cli
