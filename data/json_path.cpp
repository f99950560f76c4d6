#include "data/json_path.h"

#include <charconv>
#include <string>
#include <type_traits>
#include <utility>

#include "data/encoding.h"
#include "platform/code_page.h"
#include "platform/code_page_text.h"

namespace quorvel::data::json_path {
namespace {

// Writing to an array index past its end fills the gap with nulls; a gap
// larger than this is refused rather than allocated.
constexpr long long max_array_growth = 1 << 20;

bool is_name_start(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool is_name_part(unsigned char c) {
    return is_name_start(c) || (c >= '0' && c <= '9');
}
bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Reads the steps of a member-access suffix such as ".a.b[0]" or "[1].c"
// one at a time, without allocating. With a leading dot implied, the text
// starts with a member name. Member names step by character, so a trail byte
// equal to "[", "]" or "." stays inside its name.
class PathReader {
  public:
    PathReader(std::string_view path, bool dot_implied) : s_(path), dot_pending_(dot_implied) {}

    // 1 with the next step, 0 at the end, -1 when the text is not of that form.
    int next(Step& step) {
        skip_blanks();
        if (dot_pending_) {
            dot_pending_ = false;
            return member(step);
        }
        if (i_ == s_.size()) {
            return 0;
        }
        if (s_[i_] == '.') {
            ++i_;
            return member(step);
        }
        if (s_[i_] == '[') {
            ++i_;
            return index(step);
        }
        return -1;
    }

  private:
    void skip_blanks() {
        while (i_ < s_.size() && is_blank(s_[i_])) {
            ++i_;
        }
    }
    int member(Step& step) {
        skip_blanks();
        if (i_ == s_.size() || !is_name_start(static_cast<unsigned char>(s_[i_]))) {
            return -1;
        }
        std::size_t begin = i_;
        while (i_ < s_.size() && is_name_part(static_cast<unsigned char>(s_[i_]))) {
            i_ += platform::char_length(s_, i_);
        }
        step = {false, s_.substr(begin, i_ - begin), 0};
        return 1;
    }
    int index(Step& step) {
        skip_blanks();
        bool negative = i_ < s_.size() && s_[i_] == '-';
        if (negative) {
            ++i_;
            skip_blanks();
        }
        std::size_t begin = i_;
        long long value = 0;
        for (; i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9'; ++i_) {
            value = value > (1LL << 53) ? value : value * 10 + (s_[i_] - '0');
        }
        if (i_ == begin) {
            return -1;
        }
        skip_blanks();
        if (i_ == s_.size() || s_[i_] != ']') {
            return -1;
        }
        ++i_;
        step = {true, {}, negative ? -value : value};
        return 1;
    }

    std::string_view s_;
    bool dot_pending_;
    std::size_t i_ = 0;
};

// The member of an object with this UTF-8 name, or null.
template <typename J>
J* find_member(J& object, std::string_view name) {
    using Object = std::conditional_t<std::is_const_v<J>, const Json::object_t, Json::object_t>;
    for (auto& item : object.template get_ref<Object&>()) {
        if (item.first == name) {
            return &item.second;
        }
    }
    return nullptr;
}

// The UTF-8 name an object member is stored under for a step: the index's
// digits, or the member name converted when it is not ASCII.
class StepKey {
  public:
    explicit StepKey(const Step& step) {
        if (step.is_index) {
            auto [end, error] = std::to_chars(digits_, digits_ + sizeof digits_, step.index);
            view_ = error == std::errc() ? std::string_view(digits_, end - digits_) : "";
        } else if (platform::all_ascii(step.name)) {
            view_ = step.name;
        } else {
            converted_ = utf8_from_gbk(step.name);
            view_ = converted_;
        }
    }
    StepKey(const StepKey&) = delete;
    StepKey& operator=(const StepKey&) = delete;

    std::string_view view() const { return view_; }

  private:
    char digits_[24];
    std::string converted_;
    std::string_view view_;
};

template <typename J>
J* child(J& parent, const Step& step) {
    if (parent.is_object()) {
        // Most names are ASCII and are their own UTF-8 key.
        if (!step.is_index && platform::all_ascii(step.name)) {
            return find_member(parent, step.name);
        }
        return find_member(parent, StepKey(step).view());
    }
    if (parent.is_array() && step.is_index && step.index >= 0 &&
        static_cast<unsigned long long>(step.index) < parent.size()) {
        return &parent[static_cast<std::size_t>(step.index)];
    }
    return nullptr;  // scalars and other keys have no such member
}

// Walks every step, reading the whole text even after a step has failed, so
// that a text which is not a member expression is an error even where its
// first steps could be followed.
//
// The extra index comes as a pointer: passed as a std::optional it went
// through the stack on every read, which cost about a tenth of a read.
template <typename J>
Place<J> walk(J& root, std::string_view path, Rule rule, const long long* then_index) {
    const bool root_only =
        path.empty() && (rule == Rule::optional || rule == Rule::bracket_or_root);
    const bool bracket = rule == Rule::bracket || rule == Rule::bracket_or_root;
    const bool dot_implied = !(bracket && !path.empty() && path.front() == '[');

    Place<J> place;
    J* current = &root;
    bool failed = false;
    auto take = [&](const Step& step) {
        if (failed) {
            return;
        }
        if (current == nullptr || current->is_null()) {
            failed = true;
            return;
        }
        place.parent = current;
        place.last = step;
        current = child(*current, step);
    };
    if (!root_only) {
        PathReader reader(path, dot_implied);
        Step step;
        int r = 0;
        while ((r = reader.next(step)) == 1) {
            take(step);
        }
        if (r < 0) {
            return {};
        }
    }
    if (then_index != nullptr) {
        take(Step{true, {}, *then_index});
    }
    if (failed) {
        return {};
    }
    place.outcome = current == nullptr ? Outcome::undefined : Outcome::value;
    place.value = current;
    return place;
}

// Stores `value` at a place the walk found.
bool store(Json& root, const Place<Json>& place, Json value) {
    if (place.outcome == Outcome::error) {
        return false;
    }
    if (place.parent == nullptr) {
        root = std::move(value);
        return true;
    }
    Json& target = *place.parent;
    const Step& last = place.last;
    if (target.is_object()) {
        if (place.value != nullptr) {
            *place.value = std::move(value);
        } else {
            target[std::string(StepKey(last).view())] = std::move(value);
        }
        return true;
    }
    if (target.is_array() && last.is_index && last.index >= 0) {
        auto index = static_cast<std::size_t>(last.index);
        if (index >= target.size()) {
            if (last.index - static_cast<long long>(target.size()) > max_array_growth) {
                return false;
            }
            while (target.size() <= index) {
                target.push_back(nullptr);
            }
        }
        target[index] = std::move(value);
        return true;
    }
    return false;
}

}  // namespace

Place<const Json> find(const Json& root, std::string_view path, Rule rule) {
    return walk(root, path, rule, nullptr);
}

Place<Json> find(Json& root, std::string_view path, Rule rule) {
    return walk(root, path, rule, nullptr);
}

Place<const Json> find(const Json& root, std::string_view path, Rule rule, long long then_index) {
    return walk(root, path, rule, &then_index);
}

bool assign(Json& root, std::string_view path, Rule rule, Json value) {
    return store(root, walk(root, path, rule, nullptr), std::move(value));
}

bool assign(Json& root, std::string_view path, Rule rule, long long then_index, Json value) {
    return store(root, walk(root, path, rule, &then_index), std::move(value));
}

}  // namespace quorvel::data::json_path
