#include "win32/history_window.h"

#include <commctrl.h>

#include <string>

#include "platform/log.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

constexpr const wchar_t* window_caption = L"历史记录";
constexpr const wchar_t* in_use_reason = L"这次搜索的记录正在使用中";

struct ButtonEntry {
    int id;
    const wchar_t* caption;
};
constexpr ButtonEntry buttons[] = {
    {history_open_id, L"打开"},
    {history_continue_id, L"继续"},
    {history_export_xlsx_id, L"导出XLSX"},
    {history_export_csv_id, L"导出CSV"},
    {history_delete_id, L"删除"},
    {history_refresh_id, L"刷新"},
};

// Why the journal refused, for the user; the journal's own message goes to the log.
std::wstring reason_for(const journal::JournalError& failure) {
    using Kind = journal::JournalError::Kind;
    switch (failure.kind) {
        case Kind::run_in_use:
            return in_use_reason;
        case Kind::no_such_run:
            return L"这次搜索的记录已不存在";
        case Kind::cannot_open:
        case Kind::newer_version:
        case Kind::storage_failed:
        case Kind::not_resumable:
            break;
    }
    return L"历史记录读写失败";
}

BOOL CALLBACK set_font(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

HistoryWindow::HistoryWindow(HINSTANCE instance, journal::Journal& journal,
                             shell::RunController& runs)
    : journal_(journal), runs_(runs) {
    static const bool registered = [instance] {
        WNDCLASSEXW kind{};
        kind.cbSize = sizeof(kind);
        kind.lpfnWndProc = &HistoryWindow::procedure;
        kind.hInstance = instance;
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        kind.lpszClassName = history_window_class;
        return RegisterClassExW(&kind) != 0;
    }();
    (void)registered;
    window_ =
        CreateWindowExW(0, history_window_class, window_caption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 900, 480, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    dpi_ = dpi_of(window_);
    font_ = message_font(dpi_);
    const RECT outer =
        outer_rect({0, 0, scaled(900, dpi_), scaled(480, dpi_)}, WS_OVERLAPPEDWINDOW, 0, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                LVS_SHOWSELALWAYS | LVS_OWNERDATA,
                            0, 0, 0, 0, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(history_list_id)),
                            instance, nullptr);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int column = 0; column < shell::history_column_count; ++column) {
        std::wstring title = wide_from_utf8(shell::history_column_titles[column]);
        LVCOLUMNW column_info{};
        column_info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column_info.pszText = title.data();
        column_info.cx = scaled(shell::history_column_widths[column], dpi_);
        column_info.iSubItem = column;
        ListView_InsertColumn(list_, column, &column_info);
    }
    status_ = CreateWindowExW(
        0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0, 0, 0,
        0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(history_status_id)), instance,
        nullptr);
    for (const ButtonEntry& entry : buttons) {
        CreateWindowExW(0, L"BUTTON", entry.caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance,
                        nullptr);
    }
    EnumChildWindows(window_, &set_font, reinterpret_cast<LPARAM>(font_));
    lay_out();
    reload();
}

HistoryWindow::~HistoryWindow() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

void HistoryWindow::show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
}

void HistoryWindow::lay_out() {
    RECT area;
    GetClientRect(window_, &area);
    const int margin = scaled(8, dpi_);
    const int button_width = scaled(88, dpi_);
    const int button_height = scaled(26, dpi_);
    const int gap = scaled(6, dpi_);
    const int bottom = area.bottom - margin - button_height;
    int x = area.right - margin;
    for (auto it = std::rbegin(buttons); it != std::rend(buttons); ++it) {
        x -= button_width;
        SetWindowPos(GetDlgItem(window_, it->id), nullptr, x, bottom, button_width, button_height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        x -= gap;
    }
    SetWindowPos(status_, nullptr, margin, bottom, std::max(x - margin, 0), button_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(list_, nullptr, margin, margin, std::max<int>(area.right - 2 * margin, 0),
                 std::max<int>(bottom - 2 * margin, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void HistoryWindow::reload() {
    const std::optional<std::int64_t> kept = selected_run();
    rows_.clear();
    auto runs = journal_.runs(journal::Journal::SeedText::opening);
    std::wstring status;
    if (runs) {
        rows_.reserve(runs->size());
        for (const journal::RunInfo& run : *runs) {
            Row row{run.id, run.state, {}};
            const shell::HistoryRow cells = shell::history_row(run);
            for (std::size_t i = 0; i < cells.size(); ++i) {
                row.cells[i] = wide_from_utf8(cells[i]);
            }
            rows_.push_back(std::move(row));
        }
        status = L"共 " + std::to_wstring(runs->size()) + L" 次搜索";
    } else {
        platform::log_warning("history: " + runs.error().message);
        status = L"无法读取历史记录：" + reason_for(runs.error());
    }
    SetWindowTextW(status_, status.c_str());
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
    if (kept) {
        select(*kept);
    }
    InvalidateRect(list_, nullptr, TRUE);
    update_buttons();
}

std::optional<std::int64_t> HistoryWindow::selected_run() const {
    if (list_ == nullptr) {
        return std::nullopt;
    }
    const int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return std::nullopt;
    }
    return rows_[static_cast<std::size_t>(row)].run;
}

void HistoryWindow::select(std::int64_t run) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].run == run) {
            const int row = static_cast<int>(i);
            ListView_SetItemState(list_, row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
            ListView_EnsureVisible(list_, row, FALSE);
            return;
        }
    }
}

void HistoryWindow::update_buttons() {
    const int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    const bool selected = row >= 0 && static_cast<std::size_t>(row) < rows_.size();
    for (int id :
         {history_open_id, history_export_xlsx_id, history_export_csv_id, history_delete_id}) {
        EnableWindow(GetDlgItem(window_, id), selected);
    }
    // Only a run that ended before its last seed goes on.
    EnableWindow(GetDlgItem(window_, history_continue_id),
                 selected && shell::can_continue(rows_[static_cast<std::size_t>(row)].state));
}

platform::MessageResult HistoryWindow::say(const std::wstring& text, platform::MessageStyle style) {
    return message_box(window_, text, window_caption, style, {});
}

bool HistoryWindow::busy() {
    if (!runs_.running()) {
        return false;
    }
    say(L"搜索或导出正在进行，请等它结束或停止后再试。");
    return true;
}

void HistoryWindow::delete_selected() {
    const auto run = selected_run();
    if (!run) {
        return;
    }
    if (!runs_.can_delete(*run)) {
        say(std::wstring(L"无法删除：") + in_use_reason);
        return;
    }
    if (say(L"确定删除这次搜索的记录吗？", {.buttons = platform::MessageButtons::yes_no}) !=
        platform::MessageResult::yes) {
        return;
    }
    // Asked again: the run may have been taken up while the question was open.
    if (!runs_.can_delete(*run)) {
        say(std::wstring(L"无法删除：") + in_use_reason);
        return;
    }
    if (auto removed = journal_.remove(*run); !removed) {
        say(L"无法删除：" + reason_for(removed.error()));
    }
    reload();
}

LRESULT CALLBACK HistoryWindow::procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HistoryWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return self->handle(message, wparam, lparam);
}

LRESULT HistoryWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            lay_out();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
            limits->ptMinTrackSize = {scaled(640, dpi_), scaled(240, dpi_)};
            return 0;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->idFrom != history_list_id) {
                break;
            }
            if (header->code == LVN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMLVDISPINFOW*>(lparam);
                const auto row = static_cast<std::size_t>(info->item.iItem);
                const auto column = static_cast<std::size_t>(info->item.iSubItem);
                if ((info->item.mask & LVIF_TEXT) != 0 && row < rows_.size() &&
                    column < shell::history_column_count) {
                    lstrcpynW(info->item.pszText, rows_[row].cells[column].c_str(),
                              info->item.cchTextMax);
                }
            } else if (header->code == LVN_ITEMCHANGED) {
                update_buttons();
            } else if (header->code == NM_DBLCLK) {
                const auto* activated = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
                if (activated->iItem >= 0 &&
                    static_cast<std::size_t>(activated->iItem) < rows_.size() && !busy()) {
                    runs_.open_run(rows_[static_cast<std::size_t>(activated->iItem)].run);
                }
            }
            return 0;
        }
        case WM_COMMAND: {
            if (HIWORD(wparam) != BN_CLICKED) {
                break;
            }
            const auto run = selected_run();
            switch (LOWORD(wparam)) {
                case history_open_id:
                    if (run && !busy()) {
                        runs_.open_run(*run);
                    }
                    return 0;
                case history_continue_id:
                    if (run && !busy()) {
                        runs_.continue_run(*run);
                    }
                    return 0;
                case history_export_xlsx_id:
                    if (run && !busy()) {
                        runs_.export_run(*run, exporting::ExportFormat::xlsx);
                    }
                    return 0;
                case history_export_csv_id:
                    if (run && !busy()) {
                        runs_.export_run(*run, exporting::ExportFormat::csv);
                    }
                    return 0;
                case history_delete_id:
                    delete_selected();
                    return 0;
                case history_refresh_id:
                    reload();
                    return 0;
                default:
                    break;
            }
            break;
        }
        case WM_CLOSE:
            DestroyWindow(window_);
            return 0;
        case WM_NCDESTROY: {
            HWND closing = window_;
            window_ = nullptr;
            list_ = nullptr;
            return DefWindowProcW(closing, message, wparam, lparam);
        }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace quorvel::win32
