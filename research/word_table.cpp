#include "research/word_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

#include "platform/code_page.h"

namespace quorvel::research {
namespace {

// The kinds' names in 来源, in box order: their export labels without "词".
constexpr std::array<std::string_view, 5> kind_names = {"PC下拉", "PC箭头", "无线下拉", "长尾",
                                                        "你是不是想找"};
constexpr std::array<std::string_view, column_count> column_titles = {"词",     "结果数", "来源",
                                                                      "种子数", "次数",   "字数"};

std::string utf8_of(std::string_view code_page_text, std::string& scratch) {
    platform::convert_code_page(code_page_text, platform::code_page_gbk, platform::code_page_utf8,
                                scratch);
    return scratch;
}

std::uint32_t characters(std::string_view utf8) {
    return static_cast<std::uint32_t>(std::count_if(utf8.begin(), utf8.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

std::string folded(std::string_view utf8) {
    std::string text(utf8);
    for (char& byte : text) {
        if (byte >= 'A' && byte <= 'Z') {
            byte = static_cast<char>(byte - 'A' + 'a');
        }
    }
    return text;
}

// The count the marketplace sent, when it is a whole number (a plain
// integer, or one written with a fraction of zeros such as "1234.0").
std::optional<std::int64_t> count_of(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (const auto dot = text.find('.');
        dot != std::string_view::npos &&
        text.find_first_not_of('0', dot + 1) == std::string_view::npos) {
        text = text.substr(0, dot);
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

void split_terms(std::string_view text, std::vector<std::string>& terms) {
    const auto is_space = [&](std::size_t i, std::size_t& width) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == ' ' || byte == '\t' || byte == '\r' || byte == '\n' || byte == '\f' ||
            byte == '\v') {
            width = 1;
            return true;
        }
        if (text.substr(i, 3) == "\xE3\x80\x80") {  // the ideographic space
            width = 3;
            return true;
        }
        return false;
    };
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t width = 0;
        if (is_space(i, width)) {
            if (i > start) {
                terms.push_back(folded(text.substr(start, i - start)));
            }
            i += width;
            start = i;
        } else {
            ++i;
        }
    }
    if (i > start) {
        terms.push_back(folded(text.substr(start, i - start)));
    }
}

bool passes(const WordEntry& entry, const WordFilter& filter) {
    const auto holds = [&](const std::string& term) {
        return entry.folded.find(term) != std::string::npos;
    };
    return std::all_of(filter.include.begin(), filter.include.end(), holds) &&
           std::none_of(filter.exclude.begin(), filter.exclude.end(), holds);
}

// Whether `a` goes before `b` in `order`, when they differ in that column;
// an entry without 结果数 goes last either way.
int compare(const WordEntry& a, const WordEntry& b, Column column) {
    const auto three_way = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (column) {
        case Column::word: {
            const int order = a.word.compare(b.word);
            return order < 0 ? -1 : (order > 0 ? 1 : 0);
        }
        case Column::results:
            return three_way(a.results.value_or(-1), b.results.value_or(-1));
        case Column::sources:
            return three_way(std::popcount(a.sources.bits()) * 32 + (32 - a.sources.bits()),
                             std::popcount(b.sources.bits()) * 32 + (32 - b.sources.bits()));
        case Column::seeds:
            return three_way(a.seeds, b.seeds);
        case Column::times:
            return three_way(a.times, b.times);
        case Column::length:
            return three_way(a.length, b.length);
    }
    return 0;
}

}  // namespace

WordTable WordTable::build(const harvest::HarvestStore& store) {
    WordTable table;
    // Seeds by their place in the harvest, so that the first seed is the
    // earliest harvested; a seed without a summary row comes after those.
    std::unordered_map<std::string_view, std::uint32_t> seed_place;
    for (const harvest::SeedRow& row : store.seed_rows()) {
        seed_place.try_emplace(row.seed, static_cast<std::uint32_t>(seed_place.size()));
    }
    std::unordered_map<std::string_view, std::uint32_t> row_of;
    std::unordered_set<std::uint64_t> word_seeds;
    std::vector<std::uint32_t> first_place;
    std::size_t total = 0;
    for (harvest::KeywordSource source : harvest::all_sources) {
        total += store.word_rows(source).size();
    }
    row_of.reserve(total);
    word_seeds.reserve(total);
    std::string scratch;
    for (harvest::KeywordSource source : harvest::all_sources) {
        for (const harvest::WordRow& found : store.word_rows(source)) {
            auto [at, added] =
                row_of.try_emplace(found.word, static_cast<std::uint32_t>(table.words_.size()));
            if (added) {
                WordEntry entry;
                entry.word = utf8_of(found.word, scratch);
                entry.folded = folded(entry.word);
                entry.length = characters(entry.word);
                table.words_.push_back(std::move(entry));
                first_place.push_back(UINT32_MAX);
            }
            const std::uint32_t row = at->second;
            WordEntry& entry = table.words_[row];
            entry.sources.add(source);
            ++entry.times;
            if (const auto count = count_of(found.count)) {
                entry.results = std::max(entry.results.value_or(0), *count);
            }
            auto [seed_at, seed_added] =
                seed_place.try_emplace(found.seed, static_cast<std::uint32_t>(seed_place.size()));
            const std::uint32_t place = seed_at->second;
            if (word_seeds.insert(static_cast<std::uint64_t>(row) << 32 | place).second) {
                ++entry.seeds;
                if (place < first_place[row]) {
                    first_place[row] = place;
                    entry.first_seed = utf8_of(found.seed, scratch);
                }
            }
        }
    }
    return table;
}

WordFilter WordFilter::from_text(std::string_view include_utf8, std::string_view exclude_utf8) {
    WordFilter filter;
    split_terms(include_utf8, filter.include);
    split_terms(exclude_utf8, filter.exclude);
    return filter;
}

SortOrder first_order(Column column) {
    return {column, column != Column::word};
}

std::vector<std::uint32_t> shown_rows(const WordTable& table, const WordFilter& filter,
                                      SortOrder order) {
    const std::vector<WordEntry>& words = table.words();
    std::vector<std::uint32_t> rows;
    const auto consider = [&](std::uint32_t row) {
        if (passes(words[row], filter)) {
            rows.push_back(row);
        }
    };
    if (filter.only) {
        for (std::uint32_t row : *filter.only) {
            if (row < words.size()) {
                consider(row);
            }
        }
    } else {
        rows.reserve(words.size());
        for (std::uint32_t row = 0; row < words.size(); ++row) {
            consider(row);
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [&](std::uint32_t a, std::uint32_t b) {
        const WordEntry& x = words[a];
        const WordEntry& y = words[b];
        if (order.column == Column::results && x.results.has_value() != y.results.has_value()) {
            return x.results.has_value();  // no count: last either way
        }
        const int sign = compare(x, y, order.column);
        return order.descending ? sign > 0 : sign < 0;
    });
    return rows;
}

std::string_view column_title(Column column) {
    return column_titles[static_cast<std::size_t>(column)];
}

std::string sources_text(harvest::KindSet sources) {
    std::string text;
    for (harvest::KeywordSource source : harvest::all_sources) {
        if (sources.has(source)) {
            if (!text.empty()) {
                text += ' ';
            }
            text += kind_names[harvest::index_of(source)];
        }
    }
    return text;
}

std::string cell_text(const WordEntry& entry, Column column) {
    switch (column) {
        case Column::word:
            return entry.word;
        case Column::results:
            return entry.results ? std::to_string(*entry.results) : std::string();
        case Column::sources:
            return sources_text(entry.sources);
        case Column::seeds:
            return std::to_string(entry.seeds) + "（" + entry.first_seed + "）";
        case Column::times:
            return std::to_string(entry.times);
        case Column::length:
            return std::to_string(entry.length);
    }
    return {};
}

std::string words_text(const WordTable& table, std::span<const std::uint32_t> rows) {
    std::string text;
    for (std::uint32_t row : rows) {
        if (row < table.size()) {
            text += table.words()[row].word;
            text += '\n';
        }
    }
    return text;
}

}  // namespace quorvel::research
