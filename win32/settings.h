#pragma once
// The Win32 window's settings, kept between runs of the program in the
// registry (HKEY_CURRENT_USER\Software\Quorvel, the DWORD values
// RequestIntervalMs and ParallelRequests), and the small dialog that edits
// them.

#include <windows.h>

#include <chrono>

#include "harvest/sources.h"

namespace quorvel::win32 {

struct WindowSettings {
    // The least time between the starts of two requests of a harvest; 0
    // keeps the marketplace's pace as the harvest sets it.
    std::chrono::milliseconds request_interval{0};
    // How many requests a harvest keeps in flight, 1 to harvest::max_parallel.
    int parallel_requests = 1;

    static WindowSettings load();
    // False when the registry could not be written.
    bool save() const;
};

// The longest interval the dialog takes, in milliseconds.
inline constexpr int longest_interval_ms = 60000;
// The control IDs of the settings dialog (titled "设置"): the interval's
// edit box and its up-down arrows, "检测连接" and the box its lines go to,
// the edit box of "同时请求数" and its arrows; OK and Cancel are IDOK and
// IDCANCEL.
inline constexpr int settings_interval_id = 100;
inline constexpr int settings_spin_id = 101;
inline constexpr int settings_check_id = 102;
inline constexpr int settings_check_lines_id = 103;
inline constexpr int settings_parallel_id = 104;
inline constexpr int settings_parallel_spin_id = 105;

// The settings dialog, modal to `owner`: true with `settings` changed when
// accepted. "检测连接" asks `hosts`, as the window's harvests do.
bool edit_settings(HWND owner, WindowSettings& settings, const harvest::MarketplaceHosts& hosts);

}  // namespace quorvel::win32
