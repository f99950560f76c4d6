#include "research/roots.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "platform/code_page.h"
#include "platform/word_break.h"

namespace quorvel::research {
namespace {

constexpr std::array<std::string_view, root_column_count> titles = {"词根", "词数", "结果数合计",
                                                                    "次数合计"};

bool single_ascii_letter(std::u16string_view piece) {
    return piece.size() == 1 &&
           ((piece[0] >= u'a' && piece[0] <= u'z') || (piece[0] >= u'A' && piece[0] <= u'Z'));
}

}  // namespace

std::string_view root_column_title(RootColumn column) {
    return titles[static_cast<std::size_t>(column)];
}

std::string root_cell_text(const RootEntry& entry, RootColumn column) {
    switch (column) {
        case RootColumn::root:
            return entry.root;
        case RootColumn::words:
            return std::to_string(entry.words);
        case RootColumn::results_total:
            return std::to_string(entry.results_total);
        case RootColumn::times_total:
            return std::to_string(entry.times_total);
    }
    return {};
}

tl::expected<std::vector<RootEntry>, std::string> build_roots(const WordTable& table) {
    auto breaker = platform::WordBreaker::open();
    if (!breaker) {
        return tl::unexpected(breaker.error());
    }
    std::vector<RootEntry> roots;
    std::unordered_map<std::u16string, std::uint32_t> root_of;
    const std::vector<WordEntry>& words = table.words();
    for (std::uint32_t row = 0; row < words.size(); ++row) {
        const WordEntry& word = words[row];
        const std::u16string text =
            platform::utf16_from_code_page(word.word, platform::code_page_utf8);
        (*breaker)->words(text, [&](std::size_t begin, std::size_t end) {
            const std::u16string_view piece = std::u16string_view(text).substr(begin, end - begin);
            if (piece.empty() || single_ascii_letter(piece)) {
                return;
            }
            auto [at, added] = root_of.try_emplace(std::u16string(piece),
                                                   static_cast<std::uint32_t>(roots.size()));
            if (added) {
                roots.push_back(
                    {.root = platform::code_page_from_utf16(piece, platform::code_page_utf8)});
            }
            RootEntry& root = roots[at->second];
            // A word holding a root twice counts once.
            if (!root.rows.empty() && root.rows.back() == row) {
                return;
            }
            root.rows.push_back(row);
            ++root.words;
            root.results_total += word.results.value_or(0);
            root.times_total += word.times;
        });
    }
    std::sort(roots.begin(), roots.end(), [](const RootEntry& a, const RootEntry& b) {
        if (a.words != b.words) {
            return a.words > b.words;
        }
        if (a.times_total != b.times_total) {
            return a.times_total > b.times_total;
        }
        return a.root < b.root;
    });
    return roots;
}

}  // namespace quorvel::research
