#include "win32/dialogs.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cwchar>
#include <functional>
#include <map>
#include <vector>

#include "win32/dialog_rules.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

static_assert(windows_values::mb_task_modal == MB_TASKMODAL);
static_assert(windows_values::mb_system_modal == MB_SYSTEMMODAL);
static_assert(windows_values::id_ok == IDOK && windows_values::id_cancel == IDCANCEL &&
              windows_values::id_abort == IDABORT && windows_values::id_retry == IDRETRY &&
              windows_values::id_ignore == IDIGNORE && windows_values::id_yes == IDYES &&
              windows_values::id_no == IDNO);
static_assert(windows_values::tdcbf_ok == TDCBF_OK_BUTTON &&
              windows_values::tdcbf_yes == TDCBF_YES_BUTTON &&
              windows_values::tdcbf_no == TDCBF_NO_BUTTON &&
              windows_values::tdcbf_cancel == TDCBF_CANCEL_BUTTON &&
              windows_values::tdcbf_retry == TDCBF_RETRY_BUTTON);
static_assert(static_cast<unsigned>(platform::MessageButtons::yes_no) == MB_YESNO &&
              static_cast<unsigned>(platform::MessageButtons::retry_cancel) == MB_RETRYCANCEL &&
              static_cast<unsigned>(platform::MessageButtons::abort_retry_ignore) ==
                  MB_ABORTRETRYIGNORE);

// A dialog shown for a run, by number, on the thread that shows it.
struct OpenDialog {
    HWND owner = nullptr;
    HWND window = nullptr;  // known once the dialog is activated
    bool file_dialog = false;
    bool close_asked = false;
};

thread_local std::map<LPARAM, OpenDialog> open_dialogs;
thread_local LPARAM next_number = 0;
thread_local LPARAM awaited = 0;  // the dialog whose window the hook looks for
thread_local HHOOK hook = nullptr;
thread_local int watches = 0;

void close_dialog(const OpenDialog& dialog) {
    if (dialog.file_dialog) {
        PostMessageW(dialog.window, WM_COMMAND, IDCANCEL, 0);
    } else {
        // Message boxes without a Cancel button ignore IDCANCEL; EndDialog ends any.
        EndDialog(dialog.window, IDCANCEL);
    }
}

bool is_dialog_class(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wcscmp(name, L"#32770") == 0;
}

// Learns the window of the awaited dialog as the system activates it.
LRESULT CALLBACK watch_activation(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && awaited != 0) {
        auto found = open_dialogs.find(awaited);
        auto* window = reinterpret_cast<HWND>(wparam);
        if (found != open_dialogs.end() && found->second.window == nullptr &&
            is_dialog_class(window)) {
            found->second.window = window;
            if (found->second.close_asked) {
                PostMessageW(found->second.owner, wm_close_run_dialog, 0, found->first);
            }
        }
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

// Watches one dialog for the time it is shown: learns its window and, once
// the run's stop is requested, has its owner close it.
class DialogWatch {
  public:
    DialogWatch(HWND owner, const std::stop_token& stop, bool file_dialog)
        : number_(++next_number), previous_(awaited) {
        open_dialogs[number_] = OpenDialog{owner, nullptr, file_dialog, false};
        awaited = number_;
        if (watches++ == 0) {
            hook = SetWindowsHookExW(WH_CBT, watch_activation, nullptr, GetCurrentThreadId());
        }
        if (stop.stop_possible()) {
            close_.emplace(stop, std::function<void()>([owner, number = number_] {
                               PostMessageW(owner, wm_close_run_dialog, 0, number);
                           }));
        }
    }
    ~DialogWatch() {
        close_.reset();
        open_dialogs.erase(number_);
        awaited = previous_;
        if (--watches == 0 && hook != nullptr) {
            UnhookWindowsHookEx(hook);
            hook = nullptr;
        }
    }
    DialogWatch(const DialogWatch&) = delete;
    DialogWatch& operator=(const DialogWatch&) = delete;

  private:
    LPARAM number_;
    LPARAM previous_;
    std::optional<std::stop_callback<std::function<void()>>> close_;
};

using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// TaskDialogIndirect exists in common controls 6 only, which the manifest asks for.
TaskDialogIndirectCall task_dialog_indirect() {
    static const TaskDialogIndirectCall call = [] {
        HMODULE controls = GetModuleHandleW(L"comctl32.dll");
        FARPROC found =
            controls != nullptr ? GetProcAddress(controls, "TaskDialogIndirect") : nullptr;
        return reinterpret_cast<TaskDialogIndirectCall>(reinterpret_cast<void (*)()>(found));
    }();
    return call;
}

}  // namespace

void close_run_dialog(LPARAM number) {
    auto found = open_dialogs.find(number);
    if (found == open_dialogs.end()) {
        return;  // closed already
    }
    if (found->second.window == nullptr) {
        found->second.close_asked = true;  // closed as soon as it is shown
        return;
    }
    close_dialog(found->second);
}

bool message_check_available() {
    return task_dialog_indirect() != nullptr;
}

platform::MessageResult message_box(HWND owner, const std::wstring& text,
                                    const std::wstring& caption, platform::MessageStyle style,
                                    std::stop_token stop, MessageCheck* check) {
    if (stop.stop_requested()) {
        return platform::MessageResult::cancel;
    }
    DialogWatch watch(owner, stop, false);
    const std::optional<unsigned> buttons = task_dialog_buttons(style.buttons);
    const TaskDialogIndirectCall task_dialog = task_dialog_indirect();
    // A task dialog is modal to its owner only: a system-modal box stays plain.
    if (check != nullptr && task_dialog != nullptr && buttons &&
        style.modality == platform::MessageModality::task) {
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof(config);
        config.hwndParent = owner;
        config.hInstance = GetModuleHandleW(nullptr);
        config.dwFlags = TDF_POSITION_RELATIVE_TO_WINDOW;
        // Esc and the close box answer as a plain box does: Cancel, or OK alone.
        if ((*buttons & TDCBF_CANCEL_BUTTON) != 0 || *buttons == TDCBF_OK_BUTTON) {
            config.dwFlags |= TDF_ALLOW_DIALOG_CANCELLATION;
        }
        if (check->checked) {
            config.dwFlags |= TDF_VERIFICATION_FLAG_CHECKED;
        }
        config.dwCommonButtons = static_cast<TASKDIALOG_COMMON_BUTTON_FLAGS>(*buttons);
        config.pszWindowTitle = caption.c_str();
        config.pszContent = text.c_str();
        config.pszVerificationText = check->text.c_str();
        int pressed = 0;
        BOOL ticked = check->checked ? TRUE : FALSE;
        if (SUCCEEDED(task_dialog(&config, &pressed, nullptr, &ticked))) {
            check->checked = ticked != FALSE;
            return message_result(pressed, style.buttons);
        }
    }
    const int pressed = MessageBoxW(owner, text.c_str(), caption.c_str(), message_box_flags(style));
    return message_result(pressed, style.buttons);
}

std::optional<std::wstring> save_file(HWND owner, const std::wstring& title,
                                      const std::wstring& filter, const std::wstring& extension,
                                      const std::wstring& file_name, std::stop_token stop) {
    if (stop.stop_requested()) {
        return std::nullopt;
    }
    const std::wstring filters = wide_from_u16(file_dialog_filter(u16_from_wide(filter)));
    std::vector<wchar_t> path(32768, L'\0');
    file_name.copy(path.data(), std::min(file_name.size(), path.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.empty() ? nullptr : filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // Asks before replacing a file, as the Qt window's save dialog does.
    dialog.Flags =
        OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    DialogWatch watch(owner, stop, true);
    if (!GetSaveFileNameW(&dialog) || stop.stop_requested()) {
        return std::nullopt;
    }
    return std::wstring(path.data());
}

}  // namespace quorvel::win32
