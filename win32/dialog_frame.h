#pragma once
// The frame of the window's own modal dialogs: made from a template without
// items, their controls added in WM_INITDIALOG at places given at 96 DPI and
// scaled for the monitor's, the dialog sized to its client area and centred
// on its owner.

#include <windows.h>

#include <string_view>

namespace quorvel::win32 {

// The font a dialog's controls are made in, deleted with the state that
// holds it, once the dialog is gone.
class DialogFont {
  public:
    DialogFont() = default;
    ~DialogFont() { reset(nullptr); }
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;
    HFONT get() const { return font_; }
    void reset(HFONT font) {
        if (font_ != nullptr) {
            DeleteObject(font_);
        }
        font_ = font;
    }

  private:
    HFONT font_ = nullptr;
};

// A modal dialog owned by `owner`, run by `procedure`, which gets `parameter`
// with WM_INITDIALOG; the value passed to EndDialog.
INT_PTR run_dialog(HWND owner, DLGPROC procedure, LPARAM parameter);

// The state run_dialog gave the dialog: kept with WM_INITDIALOG, which
// brings it in `lparam`, and found again with every later message (null
// before WM_INITDIALOG).
void* dialog_state(HWND dialog, UINT message, LPARAM lparam);

// With WM_INITDIALOG: gives `dialog` its caption (UTF-8) and `font` the
// message font at the dialog's DPI, which it returns.
UINT open_dialog(HWND dialog, std::string_view caption, DialogFont& font);

// A child control of `dialog` at `at` (left, top, width, height at 96 DPI),
// scaled for `dpi`, in `font`.
HWND add_control(HWND dialog, const wchar_t* kind, const wchar_t* text, DWORD style, int id,
                 RECT at, UINT dpi, HFONT font, DWORD ex_style = 0);

// Gives `dialog` a client area of width × height at 96 DPI, scaled for
// `dpi`, centred on its owner.
void place_dialog(HWND dialog, int width, int height, UINT dpi);

}  // namespace quorvel::win32
