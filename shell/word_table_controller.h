#pragma once
// What a word-table window does, the same in both windows: the table of a
// harvest with its filters, its order, its count line, the roots beside it
// and clicks on them, copying and exporting. A window draws what this gives
// and hands it the user's input.

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tl/expected.hpp>
#include <vector>

#include "research/roots.h"
#include "research/word_export.h"
#include "research/word_table.h"

namespace quorvel::shell {

class WordTableController {
  public:
    explicit WordTableController(std::shared_ptr<const research::WordTable> table);

    const research::WordTable& table() const { return *table_; }

    // The filters' texts as typed (UTF-8); the shown rows follow at once.
    void set_include(std::string_view utf8);
    void set_exclude(std::string_view utf8);
    // A click on a column's heading: the same column again reverses its
    // order, another starts with its first order.
    void sort_by(research::Column column);
    research::SortOrder order() const { return order_; }

    // The rows shown, in order (indices into table().words()).
    const std::vector<std::uint32_t>& shown() const { return shown_; }
    // A shown row's cell (UTF-8).
    std::string cell(std::size_t shown_row, research::Column column) const;
    // "显示 N / M 个词" (UTF-8), with the root being filtered by, if any.
    std::string count_line() const;
    // The words of these shown rows, one per line (UTF-8, "\n" after each).
    std::string copied(std::span<const std::size_t> shown_rows) const;
    // Writes the shown rows in their order to `path` (code-page text), in
    // the format its name asks for; the user's text (UTF-8) on failure.
    tl::expected<void, std::string> export_shown(const std::string& path) const;
    // The same for the roots (cut first, if they are not yet).
    tl::expected<void, std::string> export_roots(const std::string& path);

    // The roots, cut when first asked for, or why there are none (UTF-8).
    const tl::expected<std::vector<research::RootEntry>, std::string>& roots();
    // A click on a root filters the table to the words holding it; the same
    // root again, or none, ends that.
    void filter_by_root(std::optional<std::size_t> root);
    std::optional<std::size_t> root_filter() const { return root_; }

  private:
    void refresh();

    std::shared_ptr<const research::WordTable> table_;
    std::string include_;
    std::string exclude_;
    research::SortOrder order_{};
    std::optional<std::size_t> root_;
    std::optional<tl::expected<std::vector<research::RootEntry>, std::string>> roots_;
    std::vector<std::uint32_t> shown_;
};

}  // namespace quorvel::shell
