#include "win32/history_window.h"

#include <commctrl.h>

#include <string>

#include "shell/texts.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

int button_id(std::size_t index) {
    return history_first_button_id + static_cast<int>(index);
}

BOOL CALLBACK set_font(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}

}  // namespace

HistoryWindow::HistoryWindow(HINSTANCE instance, journal::Journal& journal,
                             shell::RunController& runs, WordTableWindows& word_tables)
    : instance_(instance),
      word_tables_(word_tables),
      controller_(journal, shell::history_actions(runs), *this) {
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
    const std::wstring caption = wide_from_utf8(shell::texts::history_caption);
    window_ =
        CreateWindowExW(0, history_window_class, caption.c_str(), WS_OVERLAPPEDWINDOW,
                        CW_USEDEFAULT, CW_USEDEFAULT, 900, 480, nullptr, nullptr, instance, this);
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
    const auto buttons = shell::history_buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const std::wstring button_caption = wide_from_utf8(buttons[i].caption);
        CreateWindowExW(0, L"BUTTON", button_caption.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0,
                        0, 0, 0, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(button_id(i))), instance,
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
    for (std::size_t i = shell::history_buttons().size(); i-- > 0;) {
        x -= button_width;
        SetWindowPos(GetDlgItem(window_, button_id(i)), nullptr, x, bottom, button_width,
                     button_height, SWP_NOZORDER | SWP_NOACTIVATE);
        x -= gap;
    }
    SetWindowPos(status_, nullptr, margin, bottom, std::max(x - margin, 0), button_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(list_, nullptr, margin, margin, std::max<int>(area.right - 2 * margin, 0),
                 std::max<int>(bottom - 2 * margin, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void HistoryWindow::rows_changed(std::optional<std::size_t> row) {
    rows_.clear();
    rows_.reserve(controller_.rows().size());
    for (const shell::HistoryEntry& entry : controller_.rows()) {
        Cells& cells = rows_.emplace_back();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            cells[i] = wide_from_utf8(entry.cells[i]);
        }
    }
    SetWindowTextW(status_, wide_from_utf8(controller_.status()).c_str());
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
    if (row) {
        const int index = static_cast<int>(*row);
        ListView_SetItemState(list_, index, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list_, index, FALSE);
    }
    InvalidateRect(list_, nullptr, TRUE);
    update_buttons();
}

std::optional<std::size_t> HistoryWindow::selected_row() const {
    if (list_ == nullptr) {
        return std::nullopt;
    }
    const int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
    if (row < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row);
}

void HistoryWindow::show_word_table(std::shared_ptr<const research::WordTable> table,
                                    std::string title) {
    word_tables_.open(instance_, std::move(table), title);
}

void HistoryWindow::update_buttons() {
    const auto buttons = shell::history_buttons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EnableWindow(GetDlgItem(window_, button_id(i)), controller_.enabled(buttons[i].action));
    }
}

platform::MessageResult HistoryWindow::say(std::string_view text, platform::MessageStyle style) {
    return message_box(window_, wide_from_utf8(text), wide_from_utf8(shell::texts::history_caption),
                       style, {});
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
            limits->ptMinTrackSize = {scaled(760, dpi_), scaled(240, dpi_)};
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
                    lstrcpynW(info->item.pszText, rows_[row][column].c_str(),
                              info->item.cchTextMax);
                }
            } else if (header->code == LVN_ITEMCHANGED) {
                update_buttons();
            } else if (header->code == NM_DBLCLK) {
                const auto* activated = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
                if (activated->iItem >= 0) {
                    controller_.open_row(static_cast<std::size_t>(activated->iItem));
                }
            }
            return 0;
        }
        case WM_COMMAND: {
            if (HIWORD(wparam) != BN_CLICKED) {
                break;
            }
            const auto buttons = shell::history_buttons();
            const int id = LOWORD(wparam);
            if (id >= button_id(0) && id < button_id(buttons.size())) {
                controller_.act(buttons[static_cast<std::size_t>(id - button_id(0))].action);
                return 0;
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
