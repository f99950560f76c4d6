#pragma once
// The texts both windows show, in UTF-8: messages, notices and the captions
// of the controls beyond the main window's table. Each front end converts
// them for its toolkit; "%1", "%2", … stand for the values fill() puts in.

#include <initializer_list>
#include <string>
#include <string_view>

#include "journal/journal.h"

namespace quorvel::shell::texts {

// The history window and its messages.
inline constexpr std::string_view history_caption = "历史记录";
inline constexpr std::string_view history_count = "共 %1 次搜索";
inline constexpr std::string_view history_unreadable = "无法读取历史记录：";
inline constexpr std::string_view history_unavailable = "历史记录不可用：";
inline constexpr std::string_view run_in_use = "这次搜索的记录正在使用中";
inline constexpr std::string_view run_gone = "这次搜索的记录已不存在";
inline constexpr std::string_view journal_failed = "历史记录读写失败";
inline constexpr std::string_view confirm_delete = "确定删除这次搜索的记录吗？";
inline constexpr std::string_view cannot_delete = "无法删除：";
inline constexpr std::string_view window_busy = "搜索或导出正在进行，请等它结束或停止后再试。";
inline constexpr std::string_view cannot_open_run = "无法打开这次搜索。";
inline constexpr std::string_view cannot_continue_run = "无法继续这次搜索。";
inline constexpr std::string_view cannot_export_run = "无法导出这次搜索。";
inline constexpr std::string_view run_opened = "已打开历史记录 · %1 · 关键词 %2/%3 · 词 %4";
inline constexpr std::string_view journal_moved_aside =
    "历史记录文件无法读取，已移到 %1，并新建了一个";

// Continuing a harvest the program's death interrupted.
inline constexpr std::string_view resume_caption = "继续上次的搜索";
inline constexpr std::string_view resume_question =
    "上次的搜索没有完成（开始于 %1，已完成关键词 %2/%3，找到词 %4 个）。\n"
    "是否从第 %5 个关键词继续？";

// What a harvest tells the user on its way.
inline constexpr std::string_view quiet_check = "本次搜索不再提示";
inline constexpr std::string_view login_wall =
    "“%1”需要登录淘宝才能获取，本次搜索不会得到这一类的词，其他类别照常进行。";
inline constexpr std::string_view login_wall_with_cookies =
    "\n可用 quorvel-cli --cookies 带上已登录的 Cookie 文件。";
inline constexpr std::string_view login_wall_offer = "\n是否现在打开登录窗口？";
inline constexpr std::string_view check_page_stopped =
    "淘宝要求进行安全验证，搜索已停止（已找到的词会保留，可在“历史记录”中继续）。";
inline constexpr std::string_view check_page_question =
    "淘宝要求进行安全验证，搜索已暂停。\n"
    "是否在内置浏览器中打开验证页面？完成验证后关闭该窗口，搜索会重新发送这次请求并继续。\n"
    "选“否”停止本次搜索（已找到的词会保留，可在“历史记录”中继续）。";
inline constexpr std::string_view check_window_caption = "淘宝安全验证";

// Signing in to the marketplace.
inline constexpr std::string_view sign_in_caption = "登录淘宝";
inline constexpr std::string_view signed_in = "已登录";
inline constexpr std::string_view signed_out = "未登录";
inline constexpr std::string_view sign_in_page = "https://login.taobao.com/";
inline constexpr std::string_view sign_in_guide =
    "请用您自己的浏览器登录淘宝，再把登录信息带到这里：\n"
    "1. 点“打开淘宝登录页”，在浏览器中登录淘宝；\n"
    "2. 按 F12 打开开发者工具，选“网络”，刷新页面，点任意一个发往 taobao.com 的请求；\n"
    "3. 在“请求标头”中找到 Cookie，复制它的值，粘贴到下面的框中，点“确定”。\n"
    "也可以选择浏览器扩展导出的 cookies.txt 文件（Netscape 格式）。";
inline constexpr std::string_view open_sign_in_page = "打开淘宝登录页";
// The Qt window's sign-in tabs: its own browser, and the pasted session.
inline constexpr std::string_view sign_in_browser_tab = "浏览器登录";
inline constexpr std::string_view sign_in_paste_tab = "粘贴 Cookie";
inline constexpr std::string_view take_pasted_session = "确定";
inline constexpr std::string_view choose_cookie_file = "选择 cookies.txt…";
inline constexpr std::string_view cookie_file_filter = "Cookie 文件 (*.txt)|*.txt|所有文件|*.*";
inline constexpr std::string_view sign_in_refused = "没有导入登录信息：";
inline constexpr std::string_view sign_in_taken = "已导入登录信息：";
inline constexpr std::string_view sign_in_domain = "\n%1：%2 个 Cookie";
inline constexpr std::string_view sign_in_domain_visitor = "（不含登录状态）";
inline constexpr std::string_view cannot_read_cookie_file = "无法读取 %1：%2";
inline constexpr std::string_view no_session_place = "无法确定登录信息的保存位置：";
inline constexpr std::string_view cannot_sign_out = "无法删除登录信息：";

// The settings dialog.
inline constexpr std::string_view settings_caption = "设置";
inline constexpr std::string_view interval_label = "请求间隔";
inline constexpr std::string_view interval_unit = "毫秒";
inline constexpr std::string_view interval_hint =
    "两次请求开始之间至少间隔的时间；0 表示不额外等待";
inline constexpr std::string_view parallel_label = "同时请求数";
inline constexpr std::string_view parallel_hint =
    "同时发出的请求数；大于 1 时，请求在种子填入之前提前发出，更快，结果与逐个请求完全相同；"
    "若频繁出现验证页，请改回 1";
inline constexpr std::string_view parallel_out_of_range = "同时请求数应为 1 到 8 之间的整数。";
inline constexpr std::string_view check_connection = "检测连接";
inline constexpr std::string_view checking_connection = "正在检测连接…";

// The word table and its roots.
inline constexpr std::string_view word_table_caption = "词表";
inline constexpr std::string_view word_table_of_boxes = "词表 - 当前结果";
inline constexpr std::string_view word_table_of_run = "词表 - 历史记录 #%1";
inline constexpr std::string_view word_table_busy = "正在搜索或导出，请在结束后再打开词表。";
inline constexpr std::string_view word_table_empty =
    "没有可以列出的词：请先搜索，或从“历史记录”打开一次搜索。";
inline constexpr std::string_view include_label = "包含";
inline constexpr std::string_view exclude_label = "排除";
inline constexpr std::string_view shown_count = "显示 %1 / %2 个词";
inline constexpr std::string_view shown_count_root = "显示 %1 / %2 个词（词根“%3”）";
inline constexpr std::string_view roots_caption = "词根";
inline constexpr std::string_view roots_unavailable = "无法列出词根：";
inline constexpr std::string_view copy_words = "复制所选";
inline constexpr std::string_view export_words = "导出词表";
inline constexpr std::string_view export_roots = "导出词根";
inline constexpr std::string_view word_export_failed = "文件无法保存：";
inline constexpr std::string_view word_export_filter =
    "Excel文档(*.xlsx)|*.xlsx|CSV文件(*.csv)|*.csv";

// Replaces "%1", "%2", … in `pattern` with `values`, in one pass.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);

// UTF-8 as the code-page text the core and the window operations take.
std::string code_page(std::string_view utf8);

// Why the journal refused something, for the user: the journal's own
// message is for the log.
std::string_view reason_for(const journal::JournalError& failure);

}  // namespace quorvel::shell::texts
