#pragma once
// Per-monitor DPI through the calls Windows 10 added, found at run time so
// the program also starts where they are missing (96 DPI is assumed there).

#include <windows.h>

namespace quorvel::win32 {

// Asks for per-monitor (v2) DPI awareness where the manifest has not given it.
void become_dpi_aware();
// The DPI of the monitor a window is on; 96 where the system cannot say.
UINT dpi_of(HWND window);
// `pixels` at 96 DPI, at `dpi`.
inline int scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}
// The outer size of a window with this style whose client area is `client`.
RECT outer_rect(RECT client, DWORD style, DWORD ex_style, UINT dpi);
// The system's message font at `dpi`; the caller deletes it.
HFONT message_font(UINT dpi);

}  // namespace quorvel::win32
