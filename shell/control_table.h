#pragma once
// The main window's controls and the index window's browser, as every front
// end builds them: object name, kind, parent, position, size and caption.
// Names and captions are UTF-8; positions are pixels in the client area, or
// in the panel for the controls it holds.

#include <span>
#include <string>
#include <string_view>

namespace quorvel::shell {

enum class ControlKind {
    panel,     // a sunken frame holding other controls
    label,     // static text
    seed_box,  // multi-line edit box for the seed keywords
    button,
    check_box,
    result_box,     // multi-line edit box with both scroll bars
    progress_bar,   // shows "done/total" of the seeds
    progress_line,  // static text, the progress of a run or a notice
};

// What a click on a control does, the same in every front end.
enum class ControlAction {
    none,
    start_harvest,   // "搜索"
    export_results,  // "导出结果"
    stop_harvest,    // "停止"
    show_index,      // the index window
    open_contact,    // the contact link
    show_history,    // the history window
    show_settings,
    sign_in,  // the marketplace's sign-in window
    sign_out,
    show_word_table,  // the word table of the harvest in the boxes
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

struct ControlEntry {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;  // empty: the window itself
    Rect place;
    std::string_view caption;
    ControlAction action = ControlAction::none;
};

// The main window's controls in creation order (the panel before what it holds).
std::span<const ControlEntry> main_window_controls();
// One control by name; nullptr for a name the table does not hold.
const ControlEntry* find_control(std::string_view name);

// The window's place and outer size on screen, and its client size.
inline constexpr Rect main_window_place{50, 50, 741, 558};
inline constexpr Rect index_window_place{50, 50, 760, 416};
// The browser of the index window: larger than the window, clipped by it.
inline constexpr std::string_view index_browser = "超文本浏览框1";
inline constexpr Rect index_browser_place{8, 8, 1160, 656};

// The save dialog the export uses, and the filter text it keeps.
inline constexpr std::string_view save_dialog = "通用对话框1";
inline constexpr std::string_view save_dialog_filter = "CSV格式(.csv)|xlsx格式(.xlsx)";

// Names of the controls beyond the specified ones.
inline constexpr std::string_view search_button = "按钮1";
inline constexpr std::string_view export_button = "按钮2";
inline constexpr std::string_view contact_button = "按钮3";
inline constexpr std::string_view download_button = "按钮4";
inline constexpr std::string_view index_button = "按钮5";
inline constexpr std::string_view progress_bar = "harvestProgress";
inline constexpr std::string_view stop_button = "stopButton";
inline constexpr std::string_view history_button = "historyButton";
inline constexpr std::string_view progress_line = "progressLine";
inline constexpr std::string_view sign_in_button = "signInButton";
inline constexpr std::string_view sign_in_state = "signInState";
inline constexpr std::string_view sign_out_button = "signOutButton";
inline constexpr std::string_view settings_button = "settingsButton";
inline constexpr std::string_view word_table_button = "wordTableButton";

// The program's fixed texts and addresses (UTF-8). The contact number and
// link are placeholders that reach no one.
inline constexpr std::string_view product_name = "Quorvel";
inline constexpr std::string_view version_caption = "  --【版本 V6.00  】  有问题请联系QQ";
inline constexpr std::string_view contact_number = "00000000";
inline constexpr std::string_view contact_link =
    "tencent://message/?uin=00000000&Site=quorvel&Menu=yes";
// The wholesale marketplace's keyword index page shown by the index window.
inline constexpr std::string_view index_page = "http://index.1688.com/";

// The main window's caption: product name, version text, contact number,
// 11 spaces and 55 hyphens.
std::string main_window_caption();

}  // namespace quorvel::shell
