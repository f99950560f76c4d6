#include "win32/settings.h"

#include <commctrl.h>

#include <memory>
#include <string>

#include "harvest/harvest_run.h"
#include "shell/connection_check_task.h"
#include "shell/texts.h"
#include "win32/dialog_frame.h"
#include "win32/dpi.h"
#include "win32/edit_text.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

constexpr const wchar_t* settings_key = L"Software\\Quorvel";
constexpr const wchar_t* interval_value = L"RequestIntervalMs";
constexpr const wchar_t* parallel_value = L"ParallelRequests";

// The connection check's thread says its lines are ready.
constexpr UINT check_done_message = WM_APP + 1;

struct DialogState {
    WindowSettings* settings;
    const harvest::MarketplaceHosts* hosts;
    DialogFont font;
    // Last: a check still running is stopped before the rest goes.
    std::unique_ptr<shell::ConnectionCheckTask> check{};
};

void set_check_lines(HWND dialog, std::string_view utf8) {
    const std::wstring text = wide_from_u16(with_crlf(u16_from_wide(wide_from_utf8(utf8))));
    SetDlgItemTextW(dialog, settings_check_lines_id, text.c_str());
}

void start_check(HWND dialog, DialogState& state) {
    EnableWindow(GetDlgItem(dialog, settings_check_id), FALSE);
    set_check_lines(dialog, shell::texts::checking_connection);
    // A message to a dialog already gone is dropped; the dialog's state
    // stops and joins the check before it goes.
    state.check = std::make_unique<shell::ConnectionCheckTask>(
        *state.hosts, [dialog] { PostMessageW(dialog, check_done_message, 0, 0); });
}

void show_check(HWND dialog, const DialogState& state) {
    if (state.check == nullptr) {
        return;
    }
    if (auto lines = state.check->lines()) {
        set_check_lines(dialog, *lines);
        EnableWindow(GetDlgItem(dialog, settings_check_id), TRUE);
    }
}

// A tooltip with `utf8` over `control`, wrapped to the dialog's width; it
// goes with the dialog, which owns it.
void add_hint(HWND dialog, HWND control, std::string_view utf8, UINT dpi) {
    HWND tip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, nullptr, nullptr);
    std::wstring text = wide_from_utf8(utf8);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text.data();
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tip, TTM_SETMAXTIPWIDTH, 0, scaled(396, dpi));
}

INT_PTR CALLBACK settings_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* state = static_cast<DialogState*>(dialog_state(dialog, message, lparam));
    switch (message) {
        case WM_INITDIALOG: {
            const UINT dpi = open_dialog(dialog, shell::texts::settings_caption, state->font);
            add_control(dialog, L"STATIC", wide_from_utf8(shell::texts::interval_label).c_str(),
                        SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, -1, {12, 14, 64, 22}, dpi,
                        state->font.get());
            HWND edit = add_control(dialog, L"EDIT", L"", WS_TABSTOP | ES_NUMBER | ES_RIGHT,
                                    settings_interval_id, {80, 14, 96, 22}, dpi, state->font.get(),
                                    WS_EX_CLIENTEDGE);
            HWND spin =
                add_control(dialog, UPDOWN_CLASSW, nullptr,
                            UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            settings_spin_id, {0, 0, 0, 0}, dpi, state->font.get());
            SendMessageW(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
            SendMessageW(spin, UDM_SETRANGE32, 0, longest_interval_ms);
            UDACCEL step{0, 100};
            SendMessageW(spin, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
            SendMessageW(spin, UDM_SETPOS32, 0,
                         static_cast<LPARAM>(state->settings->request_interval.count()));
            add_control(dialog, L"STATIC", wide_from_utf8(shell::texts::interval_unit).c_str(),
                        SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, -1, {182, 14, 40, 22}, dpi,
                        state->font.get());
            // "同时请求数" on the interval's row, right of its unit; its hint
            // shows over the edit box.
            add_control(dialog, L"STATIC", wide_from_utf8(shell::texts::parallel_label).c_str(),
                        SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, -1, {244, 14, 80, 22}, dpi,
                        state->font.get());
            HWND parallel = add_control(dialog, L"EDIT", L"", WS_TABSTOP | ES_NUMBER | ES_RIGHT,
                                        settings_parallel_id, {328, 14, 80, 22}, dpi,
                                        state->font.get(), WS_EX_CLIENTEDGE);
            HWND parallel_spin =
                add_control(dialog, UPDOWN_CLASSW, nullptr,
                            UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                            settings_parallel_spin_id, {0, 0, 0, 0}, dpi, state->font.get());
            SendMessageW(parallel_spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(parallel), 0);
            SendMessageW(parallel_spin, UDM_SETRANGE32, 1, harvest::max_parallel);
            SendMessageW(parallel_spin, UDM_SETPOS32, 0, state->settings->parallel_requests);
            add_hint(dialog, parallel, shell::texts::parallel_hint, dpi);
            add_control(dialog, L"STATIC", wide_from_utf8(shell::texts::interval_hint).c_str(),
                        SS_LEFT | SS_NOPREFIX, -1, {12, 42, 396, 20}, dpi, state->font.get());
            add_control(dialog, L"BUTTON", wide_from_utf8(shell::texts::check_connection).c_str(),
                        WS_TABSTOP | BS_PUSHBUTTON, settings_check_id, {12, 70, 96, 26}, dpi,
                        state->font.get());
            add_control(dialog, L"EDIT", L"",
                        WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                            ES_AUTOVSCROLL,
                        settings_check_lines_id, {12, 104, 396, 100}, dpi, state->font.get(),
                        WS_EX_CLIENTEDGE);
            add_control(dialog, L"BUTTON", L"确定", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                        {240, 214, 80, 26}, dpi, state->font.get());
            add_control(dialog, L"BUTTON", L"取消", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                        {328, 214, 80, 26}, dpi, state->font.get());
            place_dialog(dialog, 420, 252, dpi);
            SetFocus(edit);
            SendMessageW(edit, EM_SETSEL, 0, -1);
            return FALSE;  // the focus is set
        }
        case check_done_message:
            show_check(dialog, *state);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == settings_check_id) {
                start_check(dialog, *state);
                return TRUE;
            }
            if (LOWORD(wparam) == IDOK) {
                BOOL number = FALSE;
                const UINT ms = GetDlgItemInt(dialog, settings_interval_id, &number, FALSE);
                if (!number || ms > static_cast<UINT>(longest_interval_ms)) {
                    MessageBeep(MB_ICONWARNING);
                    return TRUE;
                }
                const UINT parallel = GetDlgItemInt(dialog, settings_parallel_id, &number, FALSE);
                if (!number || parallel < 1 ||
                    parallel > static_cast<UINT>(harvest::max_parallel)) {
                    MessageBoxW(dialog, wide_from_utf8(shell::texts::parallel_out_of_range).c_str(),
                                wide_from_utf8(shell::texts::settings_caption).c_str(),
                                MB_OK | MB_ICONWARNING);
                    SetFocus(GetDlgItem(dialog, settings_parallel_id));
                    return TRUE;
                }
                state->settings->request_interval = std::chrono::milliseconds(ms);
                state->settings->parallel_requests = static_cast<int>(parallel);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

WindowSettings WindowSettings::load() {
    WindowSettings settings;
    DWORD ms = 0;
    DWORD size = sizeof(ms);
    // A hand-edited value may hold anything: out of range counts as unset.
    if (RegGetValueW(HKEY_CURRENT_USER, settings_key, interval_value, RRF_RT_REG_DWORD, nullptr,
                     &ms, &size) == ERROR_SUCCESS &&
        ms > 0 && ms <= static_cast<DWORD>(longest_interval_ms)) {
        settings.request_interval = std::chrono::milliseconds(ms);
    }
    DWORD parallel = 0;
    size = sizeof(parallel);
    if (RegGetValueW(HKEY_CURRENT_USER, settings_key, parallel_value, RRF_RT_REG_DWORD, nullptr,
                     &parallel, &size) == ERROR_SUCCESS &&
        parallel >= 1 && parallel <= static_cast<DWORD>(harvest::max_parallel)) {
        settings.parallel_requests = static_cast<int>(parallel);
    }
    return settings;
}

bool WindowSettings::save() const {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settings_key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const auto ms = static_cast<DWORD>(request_interval.count());
    const auto parallel = static_cast<DWORD>(parallel_requests);
    const bool written =
        RegSetValueExW(key, interval_value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ms),
                       sizeof(ms)) == ERROR_SUCCESS &&
        RegSetValueExW(key, parallel_value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&parallel),
                       sizeof(parallel)) == ERROR_SUCCESS;
    RegCloseKey(key);
    return written;
}

bool edit_settings(HWND owner, WindowSettings& settings, const harvest::MarketplaceHosts& hosts) {
    WindowSettings edited = settings;
    DialogState state{&edited, &hosts, {}};
    const INT_PTR answer = run_dialog(owner, settings_procedure, reinterpret_cast<LPARAM>(&state));
    if (answer != IDOK) {
        return false;
    }
    settings = edited;
    return true;
}

}  // namespace quorvel::win32
