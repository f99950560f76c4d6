#pragma once
// The window operations over Win32 controls, safe to call from a run's
// worker thread: reads, message boxes and the save dialog wait for the
// window thread's answer, or for the run's stop request, whichever comes
// first; text changes are queued in order and applied in batches on a
// timer, so a long harvest neither floods nor freezes the window. Work
// crosses threads only through this object's mutex-guarded queues and
// messages posted to the main window.

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "shell/control_table.h"
#include "shell/run_controller.h"
#include "shell/text_batch.h"
#include "shell/window_thread.h"
#include "win32/dialogs.h"
#include "win32/edit_text.h"

namespace quorvel::win32 {

// Posted to the main window: run the queued tasks; start the batching timer.
inline constexpr UINT wm_run_tasks = WM_APP + 1;
inline constexpr UINT wm_schedule_flush = WM_APP + 2;
// The main window's timer that applies queued text changes.
inline constexpr UINT_PTR flush_timer = 1;

class Win32WindowOperations {
  public:
    struct Control {
        HWND window = nullptr;
        shell::ControlKind kind = shell::ControlKind::label;
    };
    struct Hooks {
        // Opens a secondary window by name (window thread).
        std::function<void(std::string_view window)> show_window;
        // Makes a browser load a page (window thread); false when there is none.
        std::function<bool(std::string_view browser, const std::wstring& address)> navigate;
    };

    // `main` is the main window, which passes wm_run_tasks, wm_schedule_flush
    // and the flush timer here; `controls` by object name (UTF-8). Made on
    // the window thread.
    Win32WindowOperations(HWND main, std::map<std::string, Control, std::less<>> controls,
                          Hooks hooks);
    Win32WindowOperations(const Win32WindowOperations&) = delete;
    Win32WindowOperations& operator=(const Win32WindowOperations&) = delete;

    // The window operations as one run sees them (empty `stop` for work on
    // the window thread).
    std::unique_ptr<shell::RunWindow> for_run(std::stop_token stop,
                                              shell::Silencing silencing = shell::Silencing::none);
    // Runs `task` on the window thread soon; callable from any thread.
    void post(std::function<void()> task);
    // Applies every queued text change now (window thread).
    void flush();
    // The main window's messages for the operations (window thread).
    void run_tasks();
    void schedule_flush();
    // A control reported a change: a check box clicked, an edit box's text
    // edited (window thread).
    void control_changed(HWND control);
    // Ticks or clears a check box (window thread).
    void set_checked(std::string_view control, bool checked);
    // The control of a name; nullptr when the table has none.
    HWND control(std::string_view name) const;
    HWND main() const { return main_; }

    // A message box owned by the main window (window thread).
    platform::MessageResult message(const std::wstring& text, const std::wstring& caption,
                                    platform::MessageStyle style, const std::stop_token& stop,
                                    MessageCheck* check = nullptr);

  private:
    class RunView;
    class Boxes;

    void queue(std::string_view control, std::u16string text, bool replace);
    std::string read_text_now(const std::string& name);
    std::optional<std::string> save_dialog_now(const std::string& name, const std::wstring& filter,
                                               const std::wstring& extension,
                                               const std::wstring& title,
                                               const std::stop_token& stop);
    LineTally box_lines(HWND box) const;

    HWND main_;
    std::map<std::string, Control, std::less<>> controls_;
    Hooks hooks_;
    // The check boxes' states by name, kept as they change; the names are
    // fixed when made, so any thread may read them.
    std::map<std::string, std::atomic<bool>, std::less<>> checked_;
    // Changes to the edit boxes (any line breaks), and the result boxes' lines.
    shell::TextBatch<std::u16string, LineTally> batch_;
    // The result boxes whose text so far came from text ending in a lone CR
    // (window thread).
    std::map<std::string, bool, std::less<>> after_cr_;
    // The file name each save dialog was last closed with (window thread).
    std::map<std::string, std::wstring, std::less<>> last_file_;
    shell::WindowThread thread_;
};

}  // namespace quorvel::win32
