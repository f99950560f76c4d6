#pragma once
// The five kinds of related keyword, always in this order: check boxes,
// result boxes, the store's collections, summary counts and export labels.

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvel::harvest {

enum class KeywordSource { PcDropdown, ArrowWords, MobileDropdown, LongTail, DidYouMean };

inline constexpr std::array<KeywordSource, 5> all_sources = {
    KeywordSource::PcDropdown, KeywordSource::ArrowWords, KeywordSource::MobileDropdown,
    KeywordSource::LongTail, KeywordSource::DidYouMean};

inline constexpr std::size_t index_of(KeywordSource source) {
    return static_cast<std::size_t>(source);
}

struct SourceInfo {
    std::string_view check_box;     // object name (UTF-8)
    std::string_view caption;       // check box caption, code-page text
    std::string_view result_box;    // object name (UTF-8)
    std::string_view export_label;  // category written by the export, code-page text
    std::string_view short_name;    // the kind's name on the command line and in its output
};

// Captions and labels in code-page text: PC下拉关键词 箭头词 无线下拉词 长尾词
// 你是不是想找; PC下拉词 PC箭头词 无线下拉词 长尾词 你是不是想找.
inline constexpr std::array<SourceInfo, 5> source_info = {{
    {"选择框1", "PC\xCF\xC2\xC0\xAD\xB9\xD8\xBC\xFC\xB4\xCA", "编辑框1",
     "PC\xCF\xC2\xC0\xAD\xB4\xCA", "pc"},
    {"选择框2", "\xBC\xFD\xCD\xB7\xB4\xCA", "编辑框2", "PC\xBC\xFD\xCD\xB7\xB4\xCA", "arrow"},
    {"选择框3", "\xCE\xDE\xCF\xDF\xCF\xC2\xC0\xAD\xB4\xCA", "编辑框3",
     "\xCE\xDE\xCF\xDF\xCF\xC2\xC0\xAD\xB4\xCA", "mobile"},
    {"选择框4", "\xB3\xA4\xCE\xB2\xB4\xCA", "编辑框4", "\xB3\xA4\xCE\xB2\xB4\xCA", "longtail"},
    {"选择框5", "\xC4\xE3\xCA\xC7\xB2\xBB\xCA\xC7\xCF\xEB\xD5\xD2", "编辑框5",
     "\xC4\xE3\xCA\xC7\xB2\xBB\xCA\xC7\xCF\xEB\xD5\xD2", "related"},
}};

inline constexpr const SourceInfo& info(KeywordSource source) {
    return source_info[index_of(source)];
}

// The source with this short name, if any.
inline constexpr std::optional<KeywordSource> source_named(std::string_view short_name) {
    for (KeywordSource source : all_sources) {
        if (info(source).short_name == short_name) {
            return source;
        }
    }
    return std::nullopt;
}

// A set of keyword sources: the kinds a run collects, as its ticked check boxes.
class KindSet {
  public:
    constexpr KindSet() = default;
    static constexpr KindSet all() { return from_bits(0x1F); }
    // Bit i stands for the i-th source; bits beyond the five are ignored.
    static constexpr KindSet from_bits(unsigned bits) {
        KindSet set;
        set.bits_ = bits & 0x1F;
        return set;
    }
    constexpr unsigned bits() const { return bits_; }
    constexpr bool has(KeywordSource source) const { return (bits_ >> index_of(source) & 1U) != 0; }
    constexpr KindSet& add(KeywordSource source) {
        bits_ |= 1U << index_of(source);
        return *this;
    }
    constexpr bool empty() const { return bits_ == 0; }
    bool operator==(const KindSet&) const = default;

  private:
    unsigned bits_ = 0;
};

// The seed box the harvest reads its seeds from (object name).
inline constexpr std::string_view seed_box = "超级编辑框1";

}  // namespace quorvel::harvest
