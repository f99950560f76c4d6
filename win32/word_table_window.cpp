#include "win32/word_table_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "shell/texts.h"
#include "win32/dialogs.h"
#include "win32/dpi.h"
#include "win32/edit_text.h"
#include "win32/wide_text.h"

namespace quorvel::win32 {
namespace {

using research::Column;
using research::RootColumn;

// Posted once the window is shown: the roots are cut then, so the table
// shows at once even when cutting takes a moment.
constexpr UINT wm_show_roots = WM_APP + 1;

constexpr int client_width = 1000;
constexpr int client_height = 600;
constexpr int roots_width = 320;
constexpr int line_height = 24;

// The columns' widths at 96 DPI.
constexpr int word_widths[research::column_count] = {170, 70, 150, 120, 50, 50};
constexpr int root_widths[research::root_column_count] = {100, 50, 90, 70};

bool numeric(Column column) {
    return column == Column::results || column == Column::times || column == Column::length;
}

BOOL CALLBACK set_font(HWND child, LPARAM font) {
    SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return TRUE;
}

void add_column(HWND list, int index, std::string_view title, int width, bool right, UINT dpi) {
    std::wstring text = wide_from_utf8(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = right ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.pszText = text.data();
    column.cx = scaled(width, dpi);
    column.iSubItem = index;
    ListView_InsertColumn(list, index, &column);
}

}  // namespace

WordTableWindow::WordTableWindow(HINSTANCE instance,
                                 std::shared_ptr<const research::WordTable> table,
                                 const std::string& title)
    : instance_(instance), controller_(std::move(table)) {
    static const bool registered = [instance] {
        WNDCLASSEXW kind{};
        kind.cbSize = sizeof(kind);
        kind.lpfnWndProc = &WordTableWindow::procedure;
        kind.hInstance = instance;
        kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        kind.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        kind.lpszClassName = word_table_window_class;
        return RegisterClassExW(&kind) != 0;
    }();
    (void)registered;
    const std::wstring caption = wide_from_utf8(title);
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, word_table_window_class, caption.c_str(),
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, client_width,
                              client_height, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return;
    }
    dpi_ = dpi_of(window_);
    font_ = message_font(dpi_);
    const RECT outer = outer_rect({0, 0, scaled(client_width, dpi_), scaled(client_height, dpi_)},
                                  WS_OVERLAPPEDWINDOW, WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    constexpr DWORD label = SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
    constexpr DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
    constexpr DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD list = WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_OWNERDATA;
    namespace texts = shell::texts;
    // Made in the order Tab goes through them.
    add(L"STATIC", wide_from_utf8(texts::include_label), label, word_include_label_id);
    add(L"EDIT", L"", edit, word_include_id, WS_EX_CLIENTEDGE);
    add(L"STATIC", wide_from_utf8(texts::exclude_label), label, word_exclude_label_id);
    add(L"EDIT", L"", edit, word_exclude_id, WS_EX_CLIENTEDGE);
    words_ = add(WC_LISTVIEWW, L"", list, word_list_id, WS_EX_CLIENTEDGE);
    add(L"STATIC", L"", label | SS_ENDELLIPSIS, word_count_line_id);
    add(L"STATIC", wide_from_utf8(texts::roots_caption), label, word_roots_caption_id);
    roots_ = add(WC_LISTVIEWW, L"", list | LVS_SINGLESEL, word_roots_list_id, WS_EX_CLIENTEDGE);
    add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, word_roots_note_id);
    add(L"BUTTON", wide_from_utf8(texts::copy_words), button, word_copy_id);
    add(L"BUTTON", wide_from_utf8(texts::export_words), button, word_export_words_id);
    add(L"BUTTON", wide_from_utf8(texts::export_roots), button, word_export_roots_id);
    ShowWindow(GetDlgItem(window_, word_roots_note_id), SW_HIDE);

    for (HWND shown : {words_, roots_}) {
        ListView_SetExtendedListViewStyle(
            shown, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    }
    for (std::size_t i = 0; i < research::column_count; ++i) {
        const auto column = static_cast<Column>(i);
        add_column(words_, static_cast<int>(i), research::column_title(column), word_widths[i],
                   numeric(column), dpi_);
    }
    for (std::size_t i = 0; i < research::root_column_count; ++i) {
        add_column(roots_, static_cast<int>(i),
                   research::root_column_title(static_cast<RootColumn>(i)), root_widths[i], i != 0,
                   dpi_);
    }
    EnumChildWindows(window_, &set_font, reinterpret_cast<LPARAM>(font_));
    lay_out();
    refresh();
}

WordTableWindow::~WordTableWindow() {
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (font_ != nullptr) {
        DeleteObject(font_);
    }
}

HWND WordTableWindow::add(const wchar_t* kind, const std::wstring& text, DWORD style, int id,
                          DWORD ex_style) {
    return CreateWindowExW(ex_style, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                           window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                           nullptr);
}

void WordTableWindow::show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    if (!roots_shown_) {
        PostMessageW(window_, wm_show_roots, 0, 0);
    }
}

void WordTableWindow::lay_out() {
    RECT area;
    GetClientRect(window_, &area);
    const int margin = scaled(8, dpi_);
    const int gap = scaled(6, dpi_);
    const int height = scaled(line_height, dpi_);
    const int label_width = scaled(36, dpi_);
    const int edit_width = scaled(180, dpi_);
    const int button_width = scaled(88, dpi_);
    const auto place = [this](int id, int x, int y, int width, int h) {
        SetWindowPos(GetDlgItem(window_, id), nullptr, x, y, std::max(width, 0), std::max(h, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    // The filters on the left of the top line, the buttons on its right.
    int x = margin;
    for (const auto& [label, edit] : {std::pair{word_include_label_id, word_include_id},
                                      std::pair{word_exclude_label_id, word_exclude_id}}) {
        place(label, x, margin, label_width, height);
        x += label_width;
        place(edit, x, margin, edit_width, height);
        x += edit_width + 2 * gap;
    }
    x = area.right - margin;
    for (int id : {word_export_roots_id, word_export_words_id, word_copy_id}) {
        x -= button_width;
        place(id, x, margin, button_width, height);
        x -= gap;
    }
    // The words, with the count line under them; the roots on the right.
    const int top = margin + height + gap;
    const int bottom = area.bottom - margin;
    const int roots_left = area.right - margin - scaled(roots_width, dpi_);
    const int words_width = roots_left - gap - margin;
    place(word_list_id, margin, top, words_width, bottom - height - gap - top);
    place(word_count_line_id, margin, bottom - height, words_width, height);
    place(word_roots_caption_id, roots_left, top, scaled(roots_width, dpi_), height);
    const int roots_top = top + height;
    place(word_roots_list_id, roots_left, roots_top, scaled(roots_width, dpi_), bottom - roots_top);
    place(word_roots_note_id, roots_left, roots_top, scaled(roots_width, dpi_), bottom - roots_top);
}

void WordTableWindow::refresh() {
    const auto rows = static_cast<int>(controller_.shown().size());
    ListView_SetItemState(words_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(words_, rows, 0);
    if (rows > 0) {
        ListView_EnsureVisible(words_, 0, FALSE);
    }
    InvalidateRect(words_, nullptr, TRUE);
    SetWindowTextW(GetDlgItem(window_, word_count_line_id),
                   wide_from_utf8(controller_.count_line()).c_str());
    // The sort arrow on the sorted column's heading only.
    HWND header = ListView_GetHeader(words_);
    const research::SortOrder order = controller_.order();
    for (std::size_t i = 0; i < research::column_count; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, static_cast<int>(i), &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (static_cast<Column>(i) == order.column) {
            item.fmt |= order.descending ? HDF_SORTDOWN : HDF_SORTUP;
        }
        Header_SetItem(header, static_cast<int>(i), &item);
    }
}

void WordTableWindow::show_roots() {
    roots_shown_ = true;
    HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const auto& roots = controller_.roots();
    SetCursor(before);
    if (roots) {
        ListView_SetItemCountEx(roots_, static_cast<int>(roots->size()), 0);
        InvalidateRect(roots_, nullptr, TRUE);
        return;
    }
    HWND note = GetDlgItem(window_, word_roots_note_id);
    SetWindowTextW(
        note, wide_from_utf8(std::string(shell::texts::roots_unavailable) + roots.error()).c_str());
    ShowWindow(roots_, SW_HIDE);
    ShowWindow(note, SW_SHOW);
    EnableWindow(GetDlgItem(window_, word_export_roots_id), FALSE);
}

std::wstring WordTableWindow::edit_text(int id) const {
    HWND box = GetDlgItem(window_, id);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(box, text.data(), static_cast<int>(text.size()))));
    return text;
}

void WordTableWindow::copy_selected() {
    std::vector<std::size_t> rows;
    for (int row = ListView_GetNextItem(words_, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(words_, row, LVNI_SELECTED)) {
        rows.push_back(static_cast<std::size_t>(row));
    }
    if (rows.empty()) {
        return;
    }
    const std::wstring text =
        wide_from_u16(with_crlf(u16_from_wide(wide_from_utf8(controller_.copied(rows)))));
    if (!OpenClipboard(window_)) {
        return;
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* at = GlobalLock(memory)) {
            std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(at));
            GlobalUnlock(memory);
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) {
                GlobalFree(memory);
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

void WordTableWindow::export_words() {
    const std::wstring caption = wide_from_utf8(shell::texts::export_words);
    const auto path = save_file(window_, caption, wide_from_utf8(shell::texts::word_export_filter),
                                L"xlsx", L"", {});
    if (!path) {
        return;
    }
    if (auto written = controller_.export_shown(code_page_from_wide(*path)); !written) {
        message_box(window_, wide_from_utf8(written.error()),
                    wide_from_utf8(shell::texts::word_table_caption), {}, {});
    }
}

void WordTableWindow::export_roots() {
    const std::wstring caption = wide_from_utf8(shell::texts::export_roots);
    const auto path = save_file(window_, caption, wide_from_utf8(shell::texts::word_export_filter),
                                L"xlsx", L"", {});
    if (!path) {
        return;
    }
    if (auto written = controller_.export_roots(code_page_from_wide(*path)); !written) {
        message_box(window_, wide_from_utf8(written.error()),
                    wide_from_utf8(shell::texts::word_table_caption), {}, {});
    }
}

bool WordTableWindow::notify(const NMHDR& header, LPARAM lparam) {
    if (header.idFrom == word_list_id) {
        switch (header.code) {
            case LVN_GETDISPINFOW: {
                auto* info = reinterpret_cast<NMLVDISPINFOW*>(lparam);
                const auto row = static_cast<std::size_t>(info->item.iItem);
                const auto column = static_cast<std::size_t>(info->item.iSubItem);
                if ((info->item.mask & LVIF_TEXT) != 0 && row < controller_.shown().size() &&
                    column < research::column_count) {
                    const std::wstring text =
                        wide_from_utf8(controller_.cell(row, static_cast<Column>(column)));
                    lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
                }
                return true;
            }
            case LVN_COLUMNCLICK: {
                const auto* click = reinterpret_cast<const NMLISTVIEW*>(lparam);
                if (click->iSubItem >= 0 &&
                    static_cast<std::size_t>(click->iSubItem) < research::column_count) {
                    controller_.sort_by(static_cast<Column>(click->iSubItem));
                    refresh();
                }
                return true;
            }
            case LVN_KEYDOWN: {
                const auto* key = reinterpret_cast<const NMLVKEYDOWN*>(lparam);
                if (GetKeyState(VK_CONTROL) < 0 && key->wVKey == 'C') {
                    copy_selected();
                } else if (GetKeyState(VK_CONTROL) < 0 && key->wVKey == 'A') {
                    ListView_SetItemState(words_, -1, LVIS_SELECTED, LVIS_SELECTED);
                }
                return true;
            }
            default:
                return false;
        }
    }
    // The roots are asked for only once show_roots() has cut them.
    if (header.idFrom == word_roots_list_id && roots_shown_) {
        const auto& roots = controller_.roots();
        if (!roots) {
            return false;
        }
        if (header.code == LVN_GETDISPINFOW) {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(lparam);
            const auto row = static_cast<std::size_t>(info->item.iItem);
            const auto column = static_cast<std::size_t>(info->item.iSubItem);
            if ((info->item.mask & LVIF_TEXT) != 0 && row < roots->size() &&
                column < research::root_column_count) {
                const std::wstring text = wide_from_utf8(
                    research::root_cell_text((*roots)[row], static_cast<RootColumn>(column)));
                lstrcpynW(info->item.pszText, text.c_str(), info->item.cchTextMax);
            }
            return true;
        }
        if (header.code == NM_CLICK) {
            const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(lparam);
            if (click->iItem >= 0 && static_cast<std::size_t>(click->iItem) < roots->size()) {
                controller_.filter_by_root(static_cast<std::size_t>(click->iItem));
                if (!controller_.root_filter()) {
                    ListView_SetItemState(roots_, -1, 0, LVIS_SELECTED);
                }
                refresh();
            }
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK WordTableWindow::procedure(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        auto* self = static_cast<WordTableWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<WordTableWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ == nullptr) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    return self->handle(message, wparam, lparam);
}

LRESULT WordTableWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_SIZE:
            lay_out();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lparam);
            limits->ptMinTrackSize = {scaled(760, dpi_), scaled(320, dpi_)};
            return 0;
        }
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wparam);
            HFONT font = message_font(dpi_);
            EnumChildWindows(window_, &set_font, reinterpret_cast<LPARAM>(font));
            if (font_ != nullptr) {
                DeleteObject(font_);
            }
            font_ = font;
            const auto* suggested = reinterpret_cast<const RECT*>(lparam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            lay_out();
            return 0;
        }
        case wm_show_roots:
            if (!roots_shown_) {
                show_roots();
            }
            return 0;
        case WM_NOTIFY:
            if (notify(*reinterpret_cast<const NMHDR*>(lparam), lparam)) {
                return 0;
            }
            break;
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            const int code = HIWORD(wparam);
            if (code == EN_CHANGE && (id == word_include_id || id == word_exclude_id)) {
                const std::string text = utf8_from_wide(edit_text(id));
                if (id == word_include_id) {
                    controller_.set_include(text);
                } else {
                    controller_.set_exclude(text);
                }
                refresh();
                return 0;
            }
            if (code == BN_CLICKED) {
                if (id == word_copy_id) {
                    copy_selected();
                } else if (id == word_export_words_id) {
                    export_words();
                } else if (id == word_export_roots_id) {
                    export_roots();
                }
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
            words_ = nullptr;
            roots_ = nullptr;
            return DefWindowProcW(closing, message, wparam, lparam);
        }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
}

void WordTableWindows::open(HINSTANCE instance, std::shared_ptr<const research::WordTable> table,
                            const std::string& title) {
    std::erase_if(windows_, [](const auto& window) { return !window->alive(); });
    auto window = std::make_unique<WordTableWindow>(instance, std::move(table), title);
    if (window->alive()) {
        window->show();
        windows_.push_back(std::move(window));
    }
}

}  // namespace quorvel::win32
