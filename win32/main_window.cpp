#include "win32/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <map>
#include <string>

#include "harvest/marketplace_answers.h"
#include "harvest/sources.h"
#include "platform/log.h"
#include "platform/session_cookies.h"
#include "shell/control_table.h"
#include "shell/session_file.h"
#include "shell/texts.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/history_window.h"
#include "win32/index_window.h"
#include "win32/settings.h"
#include "win32/sign_in_dialog.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

using shell::ControlKind;

constexpr const wchar_t* panel_class = L"QuorvelPanel";
constexpr UINT_PTR progress_timer = 2;
// Fixed size, as the Qt window's: no sizing border, no maximize box.
constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD window_ex_style = 0;

// The panel: a sunken frame drawn inside its own area, so the controls it
// holds sit where the table puts them; what they report goes to the main window.
LRESULT CALLBACK panel_procedure(HWND panel, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
            return SendMessageW(GetParent(panel), message, wparam, lparam);
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(panel, &paint);
            RECT area;
            GetClientRect(panel, &area);
            DrawEdge(dc, &area, EDGE_SUNKEN, BF_RECT);
            EndPaint(panel, &paint);
            return 0;
        }
        default:
            return DefWindowProcW(panel, message, wparam, lparam);
    }
}

// The progress bar shows "done/total" of the seeds over the bar, as the
// table has it; a Win32 progress bar draws no text of its own.
LRESULT CALLBACK progress_with_text(HWND bar, UINT message, WPARAM wparam, LPARAM lparam,
                                    UINT_PTR id, DWORD_PTR look) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(bar, &progress_with_text, id);
    }
    const LRESULT result = DefSubclassProc(bar, message, wparam, lparam);
    const auto& shown_look = *reinterpret_cast<const ProgressLook*>(look);
    if (message == WM_PAINT && shown_look.counted) {
        const auto done = SendMessageW(bar, PBM_GETPOS, 0, 0);
        const auto total = SendMessageW(bar, PBM_GETRANGE, FALSE, 0);
        const std::wstring text = std::to_wstring(done) + L"/" + std::to_wstring(total);
        RECT area;
        GetClientRect(bar, &area);
        HDC dc = GetDC(bar);
        HFONT shown = shown_look.font;
        const HGDIOBJ old_font = shown != nullptr ? SelectObject(dc, shown) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawTextW(dc, text.c_str(), -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (old_font != nullptr) {
            SelectObject(dc, old_font);
        }
        ReleaseDC(bar, dc);
    }
    return result;
}

void register_classes(HINSTANCE instance, WNDPROC main_procedure) {
    WNDCLASSEXW main{};
    main.cbSize = sizeof(main);
    main.lpfnWndProc = main_procedure;
    main.hInstance = instance;
    main.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    main.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = main_window_class;
    RegisterClassExW(&main);
    WNDCLASSEXW panel{};
    panel.cbSize = sizeof(panel);
    panel.lpfnWndProc = panel_procedure;
    panel.hInstance = instance;
    panel.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    panel.lpszClassName = panel_class;
    RegisterClassExW(&panel);
}

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD ex_style;
};

ControlClass class_of(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    switch (kind) {
        case ControlKind::panel:
            return {panel_class, child | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT};
        case ControlKind::label:
            return {L"STATIC", child | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0};
        case ControlKind::progress_line:
            // SS_NOTIFY lets the tooltip with the whole text see the mouse.
            return {L"STATIC",
                    child | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS | SS_NOTIFY, 0};
        case ControlKind::seed_box:
            return {MSFTEDIT_CLASS,
                    child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                    WS_EX_CLIENTEDGE};
        case ControlKind::button:
            return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::check_box:
            return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::result_box:
            return {L"EDIT",
                    child | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL |
                        ES_AUTOHSCROLL | ES_WANTRETURN,
                    WS_EX_CLIENTEDGE};
        case ControlKind::progress_bar:
            return {PROGRESS_CLASSW, child, 0};
    }
    return {L"STATIC", child, 0};
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, harvest::HarvestStore& store, Options options)
    : instance_(instance), store_(store), options_(std::move(options)) {
    static const bool registered = [instance] {
        register_classes(instance, &MainWindow::procedure);
        return true;
    }();
    (void)registered;
    white_ = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    const std::wstring caption = wide_from_utf8(shell::main_window_caption());
    // Made at 96 DPI, then sized for the monitor it lands on.
    const shell::Rect place = shell::main_window_place;
    RECT outer = outer_rect({0, 0, place.width, place.height}, window_style, window_ex_style, 96);
    window_ = CreateWindowExW(window_ex_style, main_window_class, caption.c_str(), window_style,
                              place.x, place.y, outer.right - outer.left, outer.bottom - outer.top,
                              nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        platform::log_error("the main window could not be made");
        return;
    }
    create_controls();
    show_session();
    lay_out(dpi_of(window_));
    controller_ = std::make_unique<shell::RunController>(*this, store_, options_.hosts);
}

MainWindow::~MainWindow() {
    controller_.reset();
    index_window_.reset();
    history_window_.reset();
    word_tables_.close_all();
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void MainWindow::create_controls() {
    const auto table = shell::main_window_controls();
    std::map<std::string, Win32WindowOperations::Control, std::less<>> controls;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const shell::ControlEntry& entry = table[i];
        HWND parent = window_;
        if (!entry.parent.empty()) {
            if (auto found = controls.find(entry.parent); found != controls.end()) {
                parent = found->second.window;
            }
        }
        const ControlClass kind = class_of(entry.kind);
        const std::wstring caption = wide_from_utf8(entry.caption);
        HWND control = CreateWindowExW(
            kind.ex_style, kind.name, caption.c_str(), kind.style, entry.place.x, entry.place.y,
            entry.place.width, entry.place.height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(i))), instance_, nullptr);
        if (control == nullptr) {
            platform::log_error("the control " + std::string(entry.name) + " could not be made");
            continue;
        }
        switch (entry.kind) {
            case ControlKind::seed_box:
                SendMessageW(control, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO, 0);
                SendMessageW(control, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
                SendMessageW(control, EM_SETEVENTMASK, 0, ENM_CHANGE);
                break;
            case ControlKind::result_box:
                SendMessageW(control, EM_SETLIMITTEXT, 0, 0);
                break;
            case ControlKind::progress_bar:
                SendMessageW(control, PBM_SETRANGE32, 0, 1);
                SendMessageW(control, PBM_SETPOS, 0, 0);
                SetWindowSubclass(control, &progress_with_text, 1,
                                  reinterpret_cast<DWORD_PTR>(&progress_look_));
                break;
            case ControlKind::check_box:
                SendMessageW(control, BM_SETCHECK, BST_UNCHECKED, 0);
                break;
            default:
                break;
        }
        controls[std::string(entry.name)] = {control, entry.kind};
    }
    if (auto stop = controls.find(shell::stop_button); stop != controls.end()) {
        EnableWindow(stop->second.window, FALSE);
    }
    if (auto line = controls.find(shell::progress_line); line != controls.end()) {
        tooltip_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(line->second.window);
        tool.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    }
    Win32WindowOperations::Hooks hooks{
        .show_window = [this](std::string_view) { show_index_window(); },
        .navigate =
            [this](std::string_view browser, const std::wstring& address) {
                return browser == shell::index_browser && index_window_ != nullptr &&
                       index_window_->navigate(address);
            },
    };
    operations_ =
        std::make_unique<Win32WindowOperations>(window_, std::move(controls), std::move(hooks));
}

void MainWindow::lay_out(UINT dpi) {
    dpi_ = dpi;
    HFONT font = message_font(dpi);
    const auto table = shell::main_window_controls();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const shell::ControlEntry& entry = table[i];
        HWND control = operations_->control(entry.name);
        if (control == nullptr) {
            continue;
        }
        const shell::Rect& at = entry.place;
        SetWindowPos(control, nullptr, scaled(at.x, dpi), scaled(at.y, dpi), scaled(at.width, dpi),
                     scaled(at.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (tooltip_ != nullptr) {
        SendMessageW(tooltip_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
    font_ = font;
    progress_look_.font = font;
    const shell::Rect place = shell::main_window_place;
    const RECT outer = outer_rect({0, 0, scaled(place.width, dpi), scaled(place.height, dpi)},
                                  window_style, window_ex_style, dpi);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::show(int how) {
    ShowWindow(window_, how);
    UpdateWindow(window_);
}

void MainWindow::apply_settings(const WindowSettings& settings) {
    controller_->set_request_interval(settings.request_interval);
    controller_->set_parallel_requests(settings.parallel_requests);
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* self = static_cast<MainWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_NCDESTROY) {
        self->window_ = nullptr;
    }
    if (self == nullptr || self->operations_ == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return self->handle(message, wparam, lparam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case wm_run_tasks:
            operations_->run_tasks();
            return 0;
        case wm_schedule_flush:
            operations_->schedule_flush();
            return 0;
        case wm_close_run_dialog:
            close_run_dialog(lparam);
            return 0;
        case WM_TIMER:
            if (wparam == flush_timer) {
                operations_->flush();
            } else if (wparam == progress_timer && controller_ != nullptr) {
                controller_->update_progress();
            }
            return 0;
        case WM_COMMAND:
            command(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_CTLCOLOREDIT: {
            // The result boxes are black on white, whatever the colour scheme.
            auto* dc = reinterpret_cast<HDC>(wparam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(white_);
        }
        case WM_DPICHANGED: {
            lay_out(HIWORD(wparam));
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_CLOSE:
            close();
            return 0;
        case WM_DESTROY:
            KillTimer(window_, flush_timer);
            KillTimer(window_, progress_timer);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window_, message, wparam, lparam);
    }
}

void MainWindow::command(int id, int notification, HWND control) {
    const auto table = shell::main_window_controls();
    if (id < first_control_id || id >= control_id(table.size()) || control == nullptr) {
        return;
    }
    const shell::ControlEntry& entry = table[static_cast<std::size_t>(id - first_control_id)];
    if (entry.kind == ControlKind::check_box && notification == BN_CLICKED) {
        operations_->control_changed(control);
        return;
    }
    if ((entry.kind == ControlKind::result_box || entry.kind == ControlKind::seed_box) &&
        notification == EN_CHANGE) {
        operations_->control_changed(control);
        return;
    }
    if (entry.kind == ControlKind::button && notification == BN_CLICKED) {
        shell::perform(entry.action, *controller_, *this);
    }
}

void MainWindow::show_index_window() {
    if (index_window_ == nullptr || !index_window_->alive()) {
        index_window_ = std::make_unique<IndexWindow>(
            instance_,
            options_.index_page.empty() ? wide_from_utf8(shell::index_page) : options_.index_page);
    }
    index_window_->show();
}

void MainWindow::show_history() {
    if (controller_->journal() == nullptr) {
        return;
    }
    if (history_window_ == nullptr || !history_window_->alive()) {
        history_window_ = std::make_unique<HistoryWindow>(instance_, *controller_->journal(),
                                                          *controller_, word_tables_);
    } else {
        history_window_->reload();
    }
    history_window_->show();
}

void MainWindow::show_word_table(std::shared_ptr<const research::WordTable> table,
                                 std::string title) {
    word_tables_.open(instance_, std::move(table), title);
}

void MainWindow::show_settings() {
    WindowSettings settings = WindowSettings::load();
    if (edit_settings(window_, settings, controller_->hosts())) {
        if (!settings.save()) {
            platform::log_warning("the settings could not be kept in the registry");
        }
        apply_settings(settings);
    }
}

void MainWindow::show_session() {
    const bool signed_in = harvest::session_present(platform::cookies());
    SetWindowTextW(
        operations_->control(shell::sign_in_state),
        wide_from_utf8(signed_in ? shell::texts::signed_in : shell::texts::signed_out).c_str());
    EnableWindow(operations_->control(shell::sign_out_button), signed_in);
}

void MainWindow::show_sign_in() {
    auto file = platform::default_cookie_file();
    if (!file) {
        tell(shell::texts::code_page(std::string(shell::texts::no_session_place) + file.error()),
             shell::texts::code_page(shell::texts::sign_in_caption));
        return;
    }
    sign_in(window_, *file);
    show_session();
}

void MainWindow::sign_out() {
    platform::clear_cookies_for(harvest::marketplace_domains);
    if (auto file = platform::default_cookie_file(); file) {
        if (auto removed = shell::remove_session_file(*file); !removed) {
            tell(shell::texts::code_page(std::string(shell::texts::cannot_sign_out) +
                                         removed.error()),
                 shell::texts::code_page(shell::texts::sign_in_caption));
        }
    }
    platform::log_info("signed out of the marketplace");
    show_session();
}

void MainWindow::close() {
    // The run in flight ends first; its waits end on its stop.
    if (controller_ != nullptr) {
        controller_->stop_and_wait();
    }
    index_window_.reset();
    history_window_.reset();
    word_tables_.close_all();
    DestroyWindow(window_);
}

// ---- shell::WindowShell --------------------------------------------------------

std::unique_ptr<shell::RunWindow> MainWindow::window_for_run(std::stop_token stop,
                                                             shell::Silencing silencing) {
    return operations_->for_run(std::move(stop), silencing);
}

void MainWindow::post(std::function<void()> task) {
    operations_->post(std::move(task));
}

void MainWindow::flush() {
    operations_->flush();
}

void MainWindow::set_running(std::optional<shell::RunKind> kind) {
    EnableWindow(operations_->control(shell::search_button), !kind);
    EnableWindow(operations_->control(shell::export_button), !kind);
    EnableWindow(operations_->control(shell::stop_button), kind == shell::RunKind::harvest);
}

void MainWindow::set_progress_updates(bool on) {
    if (on) {
        SetTimer(window_, progress_timer, 100, nullptr);  // ten updates a second
    } else {
        KillTimer(window_, progress_timer);
    }
}

void MainWindow::show_progress(std::size_t done, std::size_t total) {
    HWND bar = operations_->control(shell::progress_bar);
    progress_look_.counted = true;
    const auto most = static_cast<LPARAM>(std::max<std::size_t>(total, 1));
    SendMessageW(bar, PBM_SETRANGE32, 0, most);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::min<std::size_t>(done, total)), 0);
}

void MainWindow::show_notice(std::string_view text) {
    notice_ = wide_from_code_page(text);
    HWND line = operations_->control(shell::progress_line);
    SetWindowTextW(line, notice_.c_str());
    if (tooltip_ != nullptr) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(line);
        tool.lpszText = notice_.data();
        SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void MainWindow::set_checked(std::string_view control, bool checked) {
    operations_->set_checked(control, checked);
}

platform::MessageResult MainWindow::tell(std::string_view text, std::string_view caption,
                                         platform::MessageStyle style) {
    return operations_->message(wide_from_code_page(text), wide_from_code_page(caption), style, {});
}

void MainWindow::run_finished(shell::RunKind kind) {
    // A harvest that ends while the list is open shows up in it.
    if (kind == shell::RunKind::harvest && history_window_ != nullptr && history_window_->alive()) {
        history_window_->reload();
    }
}

harvest::VerificationAnswer MainWindow::pass_check_page(shell::RunWindow& window,
                                                        const harvest::VerificationPage& page) {
    // No browser here shares the harvest's session: the run stops where it
    // stands and is continued later, as the command line does.
    (void)page;
    platform::log_info("a check page stopped the harvest");
    window.ask(shell::texts::code_page(shell::texts::check_page_stopped), {}, {});
    return harvest::VerificationAnswer::stop;
}

}  // namespace quorvel::win32
