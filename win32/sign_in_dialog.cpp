#include "win32/sign_in_dialog.h"

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/file_read.h"
#include "platform/utf8_path.h"
#include "shell/session_file.h"
#include "shell/texts.h"
#include "win32/dialog_frame.h"
#include "win32/dialog_rules.h"
#include "win32/dpi.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

// The session's reasons for refusing name the text they were given.
constexpr std::string_view pasted_source = "the pasted text";
// Larger is no cookie file.
constexpr std::size_t largest_cookie_file = 16 * 1024 * 1024;

struct DialogState {
    std::filesystem::path file;
    DialogFont font;
};

void say(HWND dialog, std::string_view text, UINT icon) {
    MessageBoxW(dialog, wide_from_utf8(text).c_str(),
                wide_from_utf8(shell::texts::sign_in_caption).c_str(), MB_OK | icon);
}

// Takes the session from `text` into the file and the transport's store;
// false, having said why, when nothing was taken.
bool take(HWND dialog, const DialogState& state, std::string_view text, std::string_view source) {
    auto taken = shell::sign_in_from_text(text, source, state.file);
    say(dialog, taken ? *taken : taken.error(), taken ? MB_ICONINFORMATION : MB_ICONWARNING);
    return taken.has_value();
}

std::string pasted_text(HWND dialog) {
    HWND box = GetDlgItem(dialog, sign_in_text_id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(box, text.data(), text.size())));
    return utf8_from_wide(text);
}

// The cookie file the user chooses, read as bytes; false when none was
// chosen or it could not be read (said).
bool take_file(HWND dialog, const DialogState& state) {
    const std::wstring filters = wide_from_u16(
        file_dialog_filter(u16_from_wide(wide_from_utf8(shell::texts::cookie_file_filter))));
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW choice{};
    choice.lStructSize = sizeof(choice);
    choice.hwndOwner = dialog;
    choice.lpstrFilter = filters.c_str();
    choice.nFilterIndex = 1;
    choice.lpstrFile = path.data();
    choice.nMaxFile = static_cast<DWORD>(path.size());
    choice.Flags =
        OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&choice)) {
        return false;
    }
    const std::filesystem::path chosen(path.data());
    const std::string name = platform::utf8_of(chosen);
    auto bytes =
        platform::read_whole_file(chosen, {.regular_only = true, .max_size = largest_cookie_file});
    if (!bytes) {
        say(dialog,
            shell::texts::fill(shell::texts::cannot_read_cookie_file, {name, bytes.error().reason}),
            MB_ICONWARNING);
        return false;
    }
    return take(dialog, state, *bytes, name);
}

INT_PTR CALLBACK sign_in_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* state = static_cast<DialogState*>(dialog_state(dialog, message, lparam));
    switch (message) {
        case WM_INITDIALOG: {
            const UINT dpi = open_dialog(dialog, shell::texts::sign_in_caption, state->font);
            HFONT font = state->font.get();
            add_control(dialog, L"STATIC", wide_from_utf8(shell::texts::sign_in_guide).c_str(),
                        SS_LEFT | SS_NOPREFIX, -1, {12, 10, 456, 110}, dpi, font);
            add_control(dialog, L"BUTTON", wide_from_utf8(shell::texts::open_sign_in_page).c_str(),
                        WS_TABSTOP | BS_PUSHBUTTON, sign_in_page_id, {12, 124, 140, 26}, dpi, font);
            add_control(dialog, L"BUTTON", wide_from_utf8(shell::texts::choose_cookie_file).c_str(),
                        WS_TABSTOP | BS_PUSHBUTTON, sign_in_file_id, {160, 124, 140, 26}, dpi,
                        font);
            HWND box =
                add_control(dialog, L"EDIT", L"",
                            WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                            sign_in_text_id, {12, 158, 456, 150}, dpi, font, WS_EX_CLIENTEDGE);
            SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
            add_control(dialog, L"BUTTON",
                        wide_from_utf8(shell::texts::take_pasted_session).c_str(),
                        WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, {300, 320, 80, 26}, dpi, font);
            add_control(dialog, L"BUTTON", L"取消", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
                        {388, 320, 80, 26}, dpi, font);
            place_dialog(dialog, 480, 358, dpi);
            SetFocus(box);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDOK:
                    if (take(dialog, *state, pasted_text(dialog), pasted_source)) {
                        EndDialog(dialog, IDOK);
                    }
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case sign_in_page_id:
                    ShellExecuteW(dialog, L"open",
                                  wide_from_utf8(shell::texts::sign_in_page).c_str(), nullptr,
                                  nullptr, SW_SHOWNORMAL);
                    return TRUE;
                case sign_in_file_id:
                    if (take_file(dialog, *state)) {
                        EndDialog(dialog, IDOK);
                    }
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

bool sign_in(HWND owner, const std::filesystem::path& file) {
    DialogState state{file, {}};
    return run_dialog(owner, sign_in_procedure, reinterpret_cast<LPARAM>(&state)) == IDOK;
}

}  // namespace quorvel::win32
