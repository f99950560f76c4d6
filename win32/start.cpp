#include "win32/start.h"

#include <commctrl.h>
#include <ole2.h>

#include "harvest/harvest_store.h"
#include "journal/journal.h"
#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/session_cookies.h"
#include "platform/user_folders.h"
#include "platform/utf8_path.h"
#include "shell/session_file.h"
#include "shell/texts.h"
#include "shell/window_journal.h"
#include "win32/dpi.h"
#include "win32/main_window.h"
#include "win32/settings.h"
#include "win32/wide_text.h"
#include "win32/word_table_window.h"

namespace quorvel::win32 {
namespace {

// The log goes to the user's data folder; without one the program runs all
// the same.
void open_log() {
    auto folder = platform::user_data_folder();
    if (folder) {
        (void)platform::open_log_file(*folder / "logs");
    }
}

// The signed-in session of the session file, when there is one: every
// harvest request carries it. The window's "登录淘宝" and the command line
// both write that file.
void load_session() {
    auto file = platform::default_cookie_file();
    if (!file) {
        platform::log_warning("no session file: " + file.error());
        return;
    }
    shell::load_session_file(*file);
}

void apply_network(const WindowStart& start) {
    if (!start.resolve.empty()) {
        platform::set_resolve_entries(start.resolve);
    }
    if (start.extra_ca_file) {
        platform::set_extra_ca_file(platform::utf8_of(*start.extra_ca_file));
    }
}

// Keyboard navigation between the controls of the window the message is for.
bool dialog_message(MSG& message) {
    HWND top = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (top == nullptr) {
        return false;
    }
    wchar_t kind[32] = {};
    GetClassNameW(top, kind, 32);
    const std::wstring_view name = kind;
    return (name == main_window_class || name == word_table_window_class) &&
           IsDialogMessageW(top, &message);
}

}  // namespace

int run_main_window(HINSTANCE instance, int show, const WindowStart& start) {
    become_dpi_aware();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                        ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                        ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The seed box is a rich edit box of this library.
    HMODULE rich_edit = LoadLibraryW(L"Msftedit.dll");
    // The index window's browser control is an OLE object activated in place.
    const HRESULT ole = OleInitialize(nullptr);
    open_log();
    platform::log_info("Quorvel started");
    if (rich_edit == nullptr) {
        platform::log_error("Msftedit.dll could not be loaded: no seed box");
    }
    apply_network(start);
    load_session();

    int status = 0;
    {
        harvest::HarvestStore store;
        shell::WindowJournal journal = shell::open_window_journal();
        MainWindow window(instance, store,
                          {.hosts = start.hosts, .index_page = wide_from_utf8(start.index_page)});
        if (window.window() == nullptr) {
            status = 1;
        } else {
            window.controller().set_journal(journal.journal ? &*journal.journal : nullptr,
                                            journal.trouble);
            window.apply_settings(WindowSettings::load());
            if (journal.moved_aside) {
                window.show_notice(shell::texts::code_page(
                    shell::texts::fill(shell::texts::journal_moved_aside,
                                       {utf8_from_wide(journal.moved_aside->wstring())})));
            }
            window.show(show);
            // Once the window is up: a harvest the program's death interrupted.
            window.post([&window] { window.controller().offer_resume(); });
            MSG message;
            BOOL got = 0;
            while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
                if (!dialog_message(message)) {
                    TranslateMessage(&message);
                    DispatchMessageW(&message);
                }
            }
            status = got == 0 ? static_cast<int>(message.wParam) : 1;
        }
    }
    if (SUCCEEDED(ole)) {
        OleUninitialize();
    }
    platform::log_info("Quorvel shut down, status " + std::to_string(status));
    return status;
}

}  // namespace quorvel::win32
