#include "shell/word_table_controller.h"

#include <utility>

#include "platform/code_page.h"
#include "shell/texts.h"

namespace quorvel::shell {

WordTableController::WordTableController(std::shared_ptr<const research::WordTable> table)
    : table_(std::move(table)) {
    refresh();
}

void WordTableController::set_include(std::string_view utf8) {
    include_ = utf8;
    refresh();
}

void WordTableController::set_exclude(std::string_view utf8) {
    exclude_ = utf8;
    refresh();
}

void WordTableController::sort_by(research::Column column) {
    order_ = order_.column == column ? research::SortOrder{column, !order_.descending}
                                     : research::first_order(column);
    refresh();
}

std::string WordTableController::cell(std::size_t shown_row, research::Column column) const {
    if (shown_row >= shown_.size()) {
        return {};
    }
    return research::cell_text(table_->words()[shown_[shown_row]], column);
}

std::string WordTableController::count_line() const {
    const std::string shown = std::to_string(shown_.size());
    const std::string total = std::to_string(table_->size());
    if (root_ && roots_ && *roots_ && *root_ < (*roots_)->size()) {
        return texts::fill(texts::shown_count_root, {shown, total, (**roots_)[*root_].root});
    }
    return texts::fill(texts::shown_count, {shown, total});
}

std::string WordTableController::copied(std::span<const std::size_t> shown_rows) const {
    std::vector<std::uint32_t> rows;
    rows.reserve(shown_rows.size());
    for (std::size_t row : shown_rows) {
        if (row < shown_.size()) {
            rows.push_back(shown_[row]);
        }
    }
    return research::words_text(*table_, rows);
}

namespace {

tl::expected<void, std::string> said(const tl::expected<void, exporting::ExportError>& written) {
    if (!written) {
        return tl::unexpected(std::string(texts::word_export_failed) +
                              platform::convert_code_page(written.error().reason,
                                                          platform::code_page_gbk,
                                                          platform::code_page_utf8));
    }
    return {};
}

}  // namespace

tl::expected<void, std::string> WordTableController::export_shown(const std::string& path) const {
    return said(research::export_words(path, *table_, shown_, research::table_format_for(path)));
}

tl::expected<void, std::string> WordTableController::export_roots(const std::string& path) {
    const auto& all = roots();
    if (!all) {
        return tl::unexpected(std::string(texts::roots_unavailable) + all.error());
    }
    return said(research::export_roots(path, *all, research::table_format_for(path)));
}

const tl::expected<std::vector<research::RootEntry>, std::string>& WordTableController::roots() {
    if (!roots_) {
        roots_ = research::build_roots(*table_);
    }
    return *roots_;
}

void WordTableController::filter_by_root(std::optional<std::size_t> root) {
    root_ = root == root_ ? std::nullopt : root;
    refresh();
}

void WordTableController::refresh() {
    research::WordFilter filter = research::WordFilter::from_text(include_, exclude_);
    if (root_) {
        const auto& all = roots();
        if (all && *root_ < all->size()) {
            filter.only = (*all)[*root_].rows;
        } else {
            root_.reset();
        }
    }
    shown_ = research::shown_rows(*table_, filter, order_);
}

}  // namespace quorvel::shell
