#pragma once
// The Win32 window program's start, shared by quorvel.exe and the test host:
// the log, the journal, the session file, the main window and its message
// loop, until the window is closed.

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "harvest/sources.h"
#include "platform/http_transport.h"

namespace quorvel::win32 {

struct WindowStart {
    // Where the harvest sends its requests; the real marketplace by default.
    harvest::MarketplaceHosts hosts{};
    // Host-to-address entries every request uses (curl's --resolve); none by default.
    std::vector<platform::ResolveEntry> resolve{};
    // A CA file trusted beyond the system's certificates (curl's --cacert); none by default.
    std::optional<std::filesystem::path> extra_ca_file{};
    // The page the index window opens; shell::index_page when empty.
    std::string index_page{};
};

// Opens the log in the data folder, the journal, the session file when there
// is one, and the main window shown with `show` (SW_*); offers to continue
// an interrupted harvest, then runs the message loop until the window is
// closed. The program's exit status. Call once per process, on the thread
// that is to own the window.
int run_main_window(HINSTANCE instance, int show, const WindowStart& start = {});

}  // namespace quorvel::win32
