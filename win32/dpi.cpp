#include "win32/dpi.h"

namespace quorvel::win32 {
namespace {

template <typename Call>
Call user32_call(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    FARPROC found = user32 != nullptr ? GetProcAddress(user32, name) : nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(found));
}

using SetContextCall = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using DpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustForDpiCall = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using ParametersForDpiCall = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using DpiForSystemCall = UINT(WINAPI*)();

}  // namespace

void become_dpi_aware() {
    if (auto set_context = user32_call<SetContextCall>("SetProcessDpiAwarenessContext")) {
        // Refused when the manifest has set the awareness already, which is as good.
        if (!set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)) {
            set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
        }
        return;
    }
    SetProcessDPIAware();
}

UINT dpi_of(HWND window) {
    static const auto for_window = user32_call<DpiForWindowCall>("GetDpiForWindow");
    const UINT dpi = for_window != nullptr ? for_window(window) : 0;
    return dpi != 0 ? dpi : 96;
}

RECT outer_rect(RECT client, DWORD style, DWORD ex_style, UINT dpi) {
    static const auto adjust = user32_call<AdjustForDpiCall>("AdjustWindowRectExForDpi");
    if (adjust == nullptr || !adjust(&client, style, FALSE, ex_style, dpi)) {
        AdjustWindowRectEx(&client, style, FALSE, ex_style);
    }
    return client;
}

HFONT message_font(UINT dpi) {
    static const auto for_dpi = user32_call<ParametersForDpiCall>("SystemParametersInfoForDpi");
    static const auto system_dpi = user32_call<DpiForSystemCall>("GetDpiForSystem");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (for_dpi != nullptr && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
        return CreateFontIndirectW(&metrics.lfMessageFont);
    }
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    // The system's metrics are for the system's DPI.
    const UINT from = system_dpi != nullptr ? system_dpi() : 96;
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(from));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace quorvel::win32
