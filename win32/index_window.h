#pragma once
// The index window: a top-level window without caption text, with a client
// area of 760×416 at 50,50 and not resizable, holding the system's web
// browser control (IWebBrowser2, in place at 8,8, 1160×656, clipped by the
// window) on the keyword index page. Where the control cannot be made, the
// page opens in the user's browser instead and no window is shown.

#include <windows.h>

#include <memory>
#include <string>

namespace quorvel::win32 {

inline constexpr const wchar_t* index_window_class = L"QuorvelIndexWindow";

class IndexWindow {
  public:
    IndexWindow(HINSTANCE instance, std::wstring page);
    ~IndexWindow();
    IndexWindow(const IndexWindow&) = delete;
    IndexWindow& operator=(const IndexWindow&) = delete;

    // Shows the window and brings it to the front; opens the page in the
    // user's browser when there is no browser control.
    void show();
    // Whether the window is open (it may have been closed by the user).
    bool alive() const;
    // Whether the browser control is in place.
    bool has_browser() const;
    // Loads a page in the browser control; false without one.
    bool navigate(const std::wstring& address);
    HWND window() const;

  private:
    class Host;
    std::unique_ptr<Host> host_;
    std::wstring page_;
};

}  // namespace quorvel::win32
