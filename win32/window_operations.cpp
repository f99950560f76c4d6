#include "win32/window_operations.h"

#include <richedit.h>
#include <shellapi.h>

#include <condition_variable>
#include <exception>
#include <utility>

#include "platform/log.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

// How long queued text changes wait, so that many words go in one insert
// while the boxes still visibly grow.
constexpr UINT flush_delay_ms = 50;

bool is_rich_edit(const Win32WindowOperations::Control& control) {
    return control.kind == shell::ControlKind::seed_box;
}

bool is_edit(const Win32WindowOperations::Control& control) {
    return control.kind == shell::ControlKind::seed_box ||
           control.kind == shell::ControlKind::result_box;
}

std::wstring window_text(HWND window, bool rich) {
    if (rich) {
        // A rich edit box separates its lines with CR alone unless asked.
        GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_USECRLF, 1200};
        const auto size =
            SendMessageW(window, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
        std::wstring text(static_cast<std::size_t>(size) + 1, L'\0');
        GETTEXTEX get{static_cast<DWORD>(text.size() * sizeof(wchar_t)), GT_USECRLF, 1200, nullptr,
                      nullptr};
        const auto copied = SendMessageW(window, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                                         reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(copied));
        return text;
    }
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

}  // namespace

// ---- the operations of a run ------------------------------------------------

class Win32WindowOperations::RunView : public shell::SilenceableRunWindow {
  public:
    RunView(Win32WindowOperations& operations, std::stop_token stop, shell::Silencing silencing)
        : SilenceableRunWindow(silencing), operations_(operations), stop_(std::move(stop)) {}

    bool read_checked(std::string_view control) override {
        if (auto known = operations_.checked_.find(control); known != operations_.checked_.end()) {
            return known->second.load();
        }
        return false;
    }
    std::string read_text(std::string_view control) override {
        return operations_.thread_.call(
            stop_,
            [&ops = operations_, name = std::string(control)] { return ops.read_text_now(name); },
            std::string());
    }
    int line_count(std::string_view control) override {
        if (auto counted = operations_.batch_.line_count(control)) {
            return *counted;
        }
        return platform::count_text_lines(read_text(control));
    }
    void set_text(std::string_view control, std::string_view text) override {
        operations_.queue(control, u16_from_wide(wide_from_code_page(text)), true);
    }
    void append_text(std::string_view control, std::string_view text) override {
        operations_.queue(control, u16_from_wide(wide_from_code_page(text)), false);
    }
    platform::MessageResult ask(std::string_view text, platform::MessageStyle style,
                                std::string_view caption) override {
        return operations_.thread_.call(
            stop_,
            [&ops = operations_, text = wide_from_code_page(text),
             caption = wide_from_code_page(caption), style,
             stop = stop_] { return ops.message(text, caption, style, stop); },
            platform::MessageResult::cancel);
    }
    bool input_pending() override {
        // A run works off the window thread, which handles input by itself.
        return false;
    }
    void pump_messages() override {
        if (!operations_.thread_.here()) {
            return;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    std::optional<std::string> show_save_dialog(std::string_view dialog, std::string_view filter,
                                                std::string_view default_extension,
                                                std::string_view title) override {
        return operations_.thread_.call(
            stop_,
            [&ops = operations_, name = std::string(dialog), filter = wide_from_code_page(filter),
             extension = wide_from_code_page(default_extension), title = wide_from_code_page(title),
             stop = stop_] { return ops.save_dialog_now(name, filter, extension, title, stop); },
            std::optional<std::string>());
    }
    void open_with_shell(std::string_view target) override {
        operations_.thread_.call(
            stop_,
            [target = wide_from_code_page(target)] {
                // The result is not examined: a link without a handler does nothing.
                ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
                return true;
            },
            false);
    }
    void show_window(std::string_view window) override {
        operations_.thread_.call(
            stop_,
            [&ops = operations_, window = std::string(window)] {
                if (ops.hooks_.show_window) {
                    ops.hooks_.show_window(window);
                }
                return true;
            },
            false);
    }
    void navigate(std::string_view browser, std::string_view address) override {
        operations_.thread_.call(
            stop_,
            [&ops = operations_, name = std::string(browser),
             address = wide_from_code_page(address)] {
                return ops.hooks_.navigate ? ops.hooks_.navigate(name, address) : false;
            },
            false);
    }

  protected:
    std::pair<platform::MessageResult, bool> ask_with_check(std::string_view text,
                                                            platform::MessageStyle style,
                                                            std::string_view caption,
                                                            std::string_view check) override {
        return operations_.thread_.call(
            stop_,
            [&ops = operations_, text = wide_from_code_page(text),
             caption = wide_from_code_page(caption), check = wide_from_utf8(check), style,
             stop = stop_] {
                MessageCheck box{check, false};
                const platform::MessageResult answer =
                    ops.message(text, caption, style, stop, &box);
                return std::pair{answer, box.checked};
            },
            std::pair{platform::MessageResult::cancel, false});
    }

  private:
    Win32WindowOperations& operations_;
    std::stop_token stop_;
};

// ---- the window thread ----------------------------------------------------------

Win32WindowOperations::Win32WindowOperations(HWND main,
                                             std::map<std::string, Control, std::less<>> controls,
                                             Hooks hooks)
    : main_(main),
      controls_(std::move(controls)),
      hooks_(std::move(hooks)),
      thread_([this] { PostMessageW(main_, wm_run_tasks, 0, 0); }) {
    for (const auto& [name, control] : controls_) {
        if (control.kind == shell::ControlKind::check_box) {
            checked_.try_emplace(name,
                                 SendMessageW(control.window, BM_GETCHECK, 0, 0) == BST_CHECKED);
        } else if (control.kind == shell::ControlKind::result_box) {
            batch_.count_lines(name, box_lines(control.window));
        }
    }
}

std::unique_ptr<shell::RunWindow> Win32WindowOperations::for_run(std::stop_token stop,
                                                                 shell::Silencing silencing) {
    return std::make_unique<RunView>(*this, std::move(stop), silencing);
}

void Win32WindowOperations::post(std::function<void()> task) {
    thread_.post(std::move(task));
}

void Win32WindowOperations::run_tasks() {
    thread_.run_tasks();
}

HWND Win32WindowOperations::control(std::string_view name) const {
    auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second.window;
}

void Win32WindowOperations::queue(std::string_view control, std::u16string text, bool replace) {
    const bool ask = batch_.queue({std::string(control), std::move(text), replace});
    if (thread_.here()) {
        flush();
    } else if (ask) {
        PostMessageW(main_, wm_schedule_flush, 0, 0);
    }
}

void Win32WindowOperations::schedule_flush() {
    // SetTimer restarts a running timer; a scheduled flush keeps its time.
    SetTimer(main_, flush_timer, flush_delay_ms, nullptr);
}

// The edit boxes as the text batch applies its changes: every line break
// CR LF, appends at the end of the text wherever the user has put the caret.
class Win32WindowOperations::Boxes {
  public:
    explicit Boxes(Win32WindowOperations& operations) : ops_(operations) {}

    void replace(const std::string& control, const std::u16string& text) {
        if (HWND box = ops_.control(control)) {
            SetWindowTextW(box, wide_from_u16(with_crlf(text)).c_str());
            ops_.after_cr_[control] = !text.empty() && text.back() == u'\r';
        }
    }

    void append(const std::string& control, const std::u16string& piece) {
        auto found = ops_.controls_.find(control);
        if (found == ops_.controls_.end() || !is_edit(found->second)) {
            return;
        }
        HWND box = found->second.window;
        bool& after_cr = ops_.after_cr_[control];
        const std::wstring text = wide_from_u16(appended_text(piece, after_cr));
        if (!piece.empty()) {
            after_cr = piece.back() == u'\r';
        }
        SendMessageW(box, WM_SETREDRAW, FALSE, 0);
        if (is_rich_edit(found->second)) {
            CHARRANGE end{-1, -1};
            SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        } else {
            const int length = GetWindowTextLengthW(box);
            SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(length), length);
        }
        SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageW(box, WM_SETREDRAW, TRUE, 0);
        SendMessageW(box, EM_SCROLLCARET, 0, 0);
        InvalidateRect(box, nullptr, TRUE);
    }

    LineTally tally(const std::string& control) {
        LineTally tally = ops_.box_lines(ops_.control(control));
        tally.after_cr = ops_.after_cr_[control];
        return tally;
    }

  private:
    Win32WindowOperations& ops_;
};

void Win32WindowOperations::flush() {
    KillTimer(main_, flush_timer);
    Boxes boxes(*this);
    batch_.flush(boxes);
}

void Win32WindowOperations::control_changed(HWND window) {
    for (const auto& [name, control] : controls_) {
        if (control.window != window) {
            continue;
        }
        if (auto state = checked_.find(name); state != checked_.end()) {
            state->second = SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED;
        } else if (!batch_.flushing() && batch_.recount(name, box_lines(window))) {
            after_cr_[name] = false;  // edited by the user
        }
        return;
    }
}

void Win32WindowOperations::set_checked(std::string_view name, bool checked) {
    if (HWND box = control(name)) {
        SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        control_changed(box);
    }
}

LineTally Win32WindowOperations::box_lines(HWND box) const {
    if (box == nullptr) {
        return {};
    }
    const auto lines = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
    const auto last_start = SendMessageW(box, EM_LINEINDEX, static_cast<WPARAM>(lines - 1), 0);
    const auto last_length = last_start < 0
                                 ? 0
                                 : static_cast<int>(SendMessageW(
                                       box, EM_LINELENGTH, static_cast<WPARAM>(last_start), 0));
    return tally_of_box(lines, last_length);
}

std::string Win32WindowOperations::read_text_now(const std::string& name) {
    flush();
    auto found = controls_.find(name);
    if (found == controls_.end() || !is_edit(found->second)) {
        return {};
    }
    const std::wstring text = window_text(found->second.window, is_rich_edit(found->second));
    return code_page_from_wide(wide_from_u16(with_crlf(u16_from_wide(text))));
}

platform::MessageResult Win32WindowOperations::message(const std::wstring& text,
                                                       const std::wstring& caption,
                                                       platform::MessageStyle style,
                                                       const std::stop_token& stop,
                                                       MessageCheck* check) {
    flush();
    return message_box(main_, text, caption, style, stop, check);
}

std::optional<std::string> Win32WindowOperations::save_dialog_now(const std::string& name,
                                                                  const std::wstring& filter,
                                                                  const std::wstring& extension,
                                                                  const std::wstring& title,
                                                                  const std::stop_token& stop) {
    flush();
    std::wstring& last = last_file_[name];
    std::optional<std::wstring> chosen = save_file(main_, title, filter, extension, last, stop);
    if (!chosen) {
        return std::nullopt;
    }
    last = *chosen;
    return code_page_from_wide(*chosen);
}

}  // namespace quorvel::win32
