#pragma once
// What the command line needs of the system beyond the platform layer: its
// standard streams, the terminal, and local time. One implementation per
// system (system_posix.cpp, system_windows.cpp).

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// Sets up the process before anything is written: on POSIX a file-size limit
// makes writes fail instead of ending the program; on Windows the standard
// streams read and write bytes unchanged (no CR added or taken) and a console takes the escape
// sequences of the progress line.
void prepare_process();

// The help's sentences on where the journal and the session file are.
std::string_view data_folder_help();

// The program's arguments as UTF-8: argv itself on POSIX; on Windows, where
// argv is in the ANSI code page, the UTF-16 command line converted.
std::vector<std::string> utf8_arguments(int argc, char* argv[]);

// Whether the stream is a terminal (a console on Windows).
bool is_terminal(std::FILE* stream);

// The terminal's width in columns; 100 when it is not a terminal.
std::size_t terminal_columns(std::FILE* stream);

// Writes UTF-8 text and flushes it. Into a file or pipe the bytes go as they
// are; a Windows console is given the text as UTF-16, so Chinese shows
// whatever its code page. False, with errno set, when it could not be written.
bool write_text(std::FILE* stream, std::string_view utf8);

// The local time of a moment and its offset from UTC then.
struct LocalTime {
    std::tm fields{};
    long utc_offset_seconds = 0;
};
LocalTime local_time(std::time_t moment);

}  // namespace quorvel::cli
