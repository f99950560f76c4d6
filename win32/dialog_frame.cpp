#include "win32/dialog_frame.h"

#include "win32/dpi.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {

INT_PTR run_dialog(HWND owner, DLGPROC procedure, LPARAM parameter) {
    // Menu, class and title are empty; the controls are made in WM_INITDIALOG.
    struct alignas(4) Template {
        DLGTEMPLATE header;
        WORD menu = 0;
        WORD window_class = 0;
        WORD title = 0;
    } dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.header.cx = 200;
    dialog.header.cy = 80;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.header, owner, procedure,
                                   parameter);
}

void* dialog_state(HWND dialog, UINT message, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        return reinterpret_cast<void*>(lparam);
    }
    return reinterpret_cast<void*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

UINT open_dialog(HWND dialog, std::string_view caption, DialogFont& font) {
    const UINT dpi = dpi_of(dialog);
    font.reset(message_font(dpi));
    SetWindowTextW(dialog, wide_from_utf8(caption).c_str());
    return dpi;
}

HWND add_control(HWND dialog, const wchar_t* kind, const wchar_t* text, DWORD style, int id,
                 RECT at, UINT dpi, HFONT font, DWORD ex_style) {
    HWND control = CreateWindowExW(
        ex_style, kind, text, WS_CHILD | WS_VISIBLE | style, scaled(at.left, dpi),
        scaled(at.top, dpi), scaled(at.right, dpi), scaled(at.bottom, dpi), dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void place_dialog(HWND dialog, int width, int height, UINT dpi) {
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    const RECT outer =
        outer_rect({0, 0, scaled(width, dpi), scaled(height, dpi)}, style, ex_style, dpi);
    RECT owner{};
    GetWindowRect(GetWindow(dialog, GW_OWNER), &owner);
    const int outer_width = outer.right - outer.left;
    const int outer_height = outer.bottom - outer.top;
    SetWindowPos(dialog, nullptr, owner.left + (owner.right - owner.left - outer_width) / 2,
                 owner.top + (owner.bottom - owner.top - outer_height) / 2, outer_width,
                 outer_height, SWP_NOZORDER);
}

}  // namespace quorvel::win32
