#include "shell/control_table.h"

#include <array>

namespace quorvel::shell {
namespace {

using K = ControlKind;
using A = ControlAction;
constexpr std::string_view panel_name = "外形框1";

constexpr std::array<ControlEntry, 27> controls{{
    {panel_name, K::panel, {}, {0, 0, 128, 529}, {}},
    {"标签1", K::label, panel_name, {8, 8, 112, 24}, "关键词"},
    {"超级编辑框1", K::seed_box, panel_name, {2, 36, 123, 429}, {}},
    {search_button, K::button, panel_name, {2, 468, 124, 28}, "搜索", A::start_harvest},
    {export_button, K::button, panel_name, {2, 497, 124, 28}, "导出结果", A::export_results},
    // Each check box above the result box of its kind, made in that order.
    {"选择框1", K::check_box, {}, {129, 7, 107, 30}, "PC下拉关键词"},
    {"编辑框1", K::result_box, {}, {128, 35, 120, 432}, {}},
    {"选择框2", K::check_box, {}, {252, 7, 110, 30}, "箭头词"},
    {"编辑框2", K::result_box, {}, {248, 35, 120, 432}, {}},
    {"选择框3", K::check_box, {}, {372, 7, 105, 30}, "无线下拉词"},
    {"编辑框3", K::result_box, {}, {368, 34, 120, 432}, {}},
    {"选择框4", K::check_box, {}, {491, 7, 100, 30}, "长尾词"},
    {"编辑框4", K::result_box, {}, {488, 33, 120, 432}, {}},
    {"选择框5", K::check_box, {}, {612, 7, 111, 30}, "你是不是想找"},
    {"编辑框5", K::result_box, {}, {608, 33, 120, 432}, {}},
    {index_button, K::button, {}, {328, 472, 88, 24}, "阿里指数查询", A::show_index},
    {contact_button, K::button, {}, {624, 464, 96, 32}, "帮助", A::open_contact},
    {download_button, K::button, {}, {624, 496, 96, 32}, "下载新版本", A::open_contact},
    // The free band under the result boxes: the progress of a harvest beside
    // "阿里指数查询", then "停止" and "历史记录" before "帮助"; the progress
    // line under them.
    {progress_bar, K::progress_bar, {}, {132, 474, 192, 20}, {}},
    {stop_button, K::button, {}, {420, 472, 88, 24}, "停止", A::stop_harvest},
    {history_button, K::button, {}, {512, 472, 104, 24}, "历史记录", A::show_history},
    {progress_line, K::progress_line, {}, {132, 500, 488, 24}, {}},
    // The strip under the panel and the result boxes: the marketplace sign-in
    // and whether there is one, then the word table and the settings.
    {sign_in_button, K::button, {}, {132, 531, 88, 24}, "登录淘宝", A::sign_in},
    {sign_in_state, K::label, {}, {226, 531, 60, 24}, {}, A::none},
    {sign_out_button, K::button, {}, {292, 531, 88, 24}, "退出登录", A::sign_out},
    {word_table_button, K::button, {}, {568, 531, 76, 24}, "词表", A::show_word_table},
    {settings_button, K::button, {}, {652, 531, 76, 24}, "设置", A::show_settings},
}};

}  // namespace

std::span<const ControlEntry> main_window_controls() {
    return controls;
}

const ControlEntry* find_control(std::string_view name) {
    for (const ControlEntry& control : controls) {
        if (control.name == name) {
            return &control;
        }
    }
    return nullptr;
}

std::string main_window_caption() {
    std::string caption(product_name);
    caption += version_caption;
    caption += contact_number;
    caption.append(11, ' ');
    caption.append(55, '-');
    return caption;
}

}  // namespace quorvel::shell
