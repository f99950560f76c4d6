#pragma once
// The Win32 main window: the controls of shell::main_window_controls(), each
// with the control ID 1000 + its index in that table, in a window of class
// "QuorvelMainWindow" with a client area of 741×558 at 50,50, not resizable. Its runs go through
// shell::RunController; closing it stops the run in flight. The program's start is in start.h.

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "harvest/harvest_store.h"
#include "harvest/sources.h"
#include "journal/journal.h"
#include "shell/run_controller.h"
#include "win32/settings.h"
#include "win32/window_operations.h"
#include "win32/word_table_window.h"

namespace quorvel::win32 {

inline constexpr const wchar_t* main_window_class = L"QuorvelMainWindow";
// The control ID of entry `index` of shell::main_window_controls().
inline constexpr int first_control_id = 1000;
inline constexpr int control_id(std::size_t index) {
    return first_control_id + static_cast<int>(index);
}

class IndexWindow;
class HistoryWindow;

// How the progress bar draws its "done/total": in the window's font, once a
// harvest has started or a run was opened.
struct ProgressLook {
    HFONT font = nullptr;
    bool counted = false;
};

class MainWindow : public shell::WindowShell {
  public:
    struct Options {
        harvest::MarketplaceHosts hosts{};
        std::wstring index_page;  // empty: shell::index_page
    };
    // Creates the window hidden; show() shows it.
    MainWindow(HINSTANCE instance, harvest::HarvestStore& store, Options options);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND window() const { return window_; }
    shell::RunController& controller() { return *controller_; }
    void show(int how);
    // Shows a notice in the progress line until the next harvest (code-page text).
    void show_notice(std::string_view text) override;
    // The settings' pacing (the interval and the requests at once), from
    // the next harvest on.
    void apply_settings(const WindowSettings& settings);

    // shell::WindowShell
    std::unique_ptr<shell::RunWindow> window_for_run(std::stop_token stop,
                                                     shell::Silencing silencing) override;
    void post(std::function<void()> task) override;
    void flush() override;
    void set_running(std::optional<shell::RunKind> kind) override;
    void set_progress_updates(bool on) override;
    void show_progress(std::size_t done, std::size_t total) override;
    void set_checked(std::string_view control, bool checked) override;
    platform::MessageResult tell(std::string_view text, std::string_view caption,
                                 platform::MessageStyle style = {}) override;
    void run_finished(shell::RunKind kind) override;
    harvest::VerificationAnswer pass_check_page(shell::RunWindow& window,
                                                const harvest::VerificationPage& page) override;

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    void create_controls();
    // Places every control and sets the font for the window's DPI.
    void lay_out(UINT dpi);
    void command(int id, int notification, HWND control);
    void show_index_window() override;
    void show_history() override;
    void show_settings() override;
    void show_word_table(std::shared_ptr<const research::WordTable> table,
                         std::string title) override;
    bool can_sign_in() const override { return true; }
    // The dialog "登录淘宝"; the session it takes is used at once.
    void show_sign_in() override;
    // Forgets the session: the transport's and the session file.
    void sign_out() override;
    // "已登录" or "未登录" beside "登录淘宝"; "退出登录" only when signed in.
    void show_session();
    void close();

    HINSTANCE instance_;
    harvest::HarvestStore& store_;
    Options options_;
    HWND window_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH white_ = nullptr;
    UINT dpi_ = 96;
    ProgressLook progress_look_;
    std::wstring notice_;  // the progress line's whole text, for its tooltip
    std::unique_ptr<Win32WindowOperations> operations_;
    std::unique_ptr<IndexWindow> index_window_;
    std::unique_ptr<HistoryWindow> history_window_;
    // Those opened here and from the history window.
    WordTableWindows word_tables_;
    // Goes first: its runs use the operations and the window.
    std::unique_ptr<shell::RunController> controller_;
};

}  // namespace quorvel::win32
