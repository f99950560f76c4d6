#include "cli/headless_window.h"

#include <algorithm>

namespace quorvel::cli {

void HeadlessWindow::Lines::add(std::string_view text) {
    feeds += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty()) {
        open_line = text.back() != '\n';
    }
}

HeadlessWindow::Lines* HeadlessWindow::box(std::string_view control) {
    for (harvest::KeywordSource source : harvest::all_sources) {
        if (harvest::info(source).result_box == control) {
            return &boxes_[harvest::index_of(source)];
        }
    }
    return nullptr;
}

bool HeadlessWindow::read_checked(std::string_view control) {
    for (harvest::KeywordSource source : harvest::all_sources) {
        if (harvest::info(source).check_box == control) {
            return kinds_.has(source);
        }
    }
    return false;
}

std::string HeadlessWindow::read_text(std::string_view control) {
    return control == harvest::seed_box ? seed_text_ : std::string();
}

int HeadlessWindow::line_count(std::string_view control) {
    const Lines* lines = box(control);
    return lines == nullptr ? 0 : lines->feeds + (lines->open_line ? 1 : 0);
}

void HeadlessWindow::set_text(std::string_view control, std::string_view text) {
    if (Lines* lines = box(control)) {
        *lines = {};
        lines->add(text);
    }
}

void HeadlessWindow::append_text(std::string_view control, std::string_view text) {
    if (Lines* lines = box(control)) {
        lines->add(text);
    }
}

platform::MessageResult HeadlessWindow::show_message(std::string_view, platform::MessageStyle,
                                                     std::string_view) {
    return platform::MessageResult::ok;
}

std::optional<std::string> HeadlessWindow::show_save_dialog(std::string_view, std::string_view,
                                                            std::string_view, std::string_view) {
    return std::nullopt;
}

}  // namespace quorvel::cli
