#include "data/json_document.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "data/number_text.h"
#include "platform/code_page.h"
#include "platform/code_page_text.h"

namespace quorvel::data {

using Json = nlohmann::ordered_json;

struct JsonDocument::Engine {
    Json root = Json::object();
};

namespace {

constexpr int max_nesting = 512;
// Writing to an array index past its end fills the gap with nulls; a gap
// larger than this is refused rather than allocated.
constexpr long long max_array_growth = 1 << 20;

std::string to_utf8(std::string_view text) {
    return platform::convert_code_page(text.substr(0, text.find('\0')), platform::code_page_gbk,
                                       platform::code_page_utf8);
}

std::string from_utf8(std::string_view text) {
    std::string out =
        platform::convert_code_page(text, platform::code_page_utf8, platform::code_page_gbk);
    out.resize(out.find('\0') == std::string::npos ? out.size() : out.find('\0'));
    return out;
}

std::string dump(const Json& value) {
    try {
        return from_utf8(value.dump(-1, ' ', false, Json::error_handler_t::replace));
    } catch (...) {
        return {};
    }
}

// Builds the value like nlohmann's own DOM parser, but refuses nesting deeper
// than max_nesting, so that no later walk over the value can exhaust the stack.
class DepthLimitedDom : public nlohmann::detail::json_sax_dom_parser<Json> {
  public:
    using Base = nlohmann::detail::json_sax_dom_parser<Json>;
    explicit DepthLimitedDom(Json& result) : Base(result, false) {}
    bool start_object(std::size_t n) { return ++depth_ <= max_nesting && Base::start_object(n); }
    bool end_object() {
        --depth_;
        return Base::end_object();
    }
    bool start_array(std::size_t n) { return ++depth_ <= max_nesting && Base::start_array(n); }
    bool end_array() {
        --depth_;
        return Base::end_array();
    }

  private:
    int depth_ = 0;
};

// The one JSON value of a code-page text, if it holds exactly one.
std::optional<Json> parse_json(std::string_view text) {
    // Replies are converted one after another: keep the buffer's storage.
    thread_local std::string utf8;
    platform::convert_code_page(text.substr(0, text.find('\0')), platform::code_page_gbk,
                                platform::code_page_utf8, utf8);
    try {
        Json value;
        DepthLimitedDom dom(value);
        if (!Json::sax_parse(utf8, &dom, Json::input_format_t::json, true, false) ||
            dom.is_errored()) {
            return std::nullopt;
        }
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

// The value a writing operation stores: the text as a string, or with
// as_json/raw the JSON value it holds.
std::optional<Json> value_of(std::string_view text, bool as_json) {
    if (as_json) {
        return parse_json(text);
    }
    return Json(to_utf8(text));
}

// ---- paths ----------------------------------------------------------------

bool is_name_start(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}
bool is_name_part(unsigned char c) {
    return is_name_start(c) || (c >= '0' && c <= '9');
}
bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// One step of a member expression: a member name (code-page text) or an index.
struct StepView {
    bool is_index = false;
    std::string_view name;
    long long index = 0;
};

// Reads the steps of a member-access suffix such as ".a.b[0]" or "[1].c"
// one at a time, without allocating. With a leading dot implied, the text
// starts with a member name. Blanks between tokens are allowed, as in a
// member expression.
class PathReader {
  public:
    PathReader(std::string_view path, bool dot_implied) : s_(path), dot_pending_(dot_implied) {}

    // 1 with the next step, 0 at the end, -1 when the text is not of that form.
    int next(StepView& step) {
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
    int member(StepView& step) {
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
    int index(StepView& step) {
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

// How an operation turns its path into a member expression of the root.
enum class Rule {
    member,          // always "." + path
    optional,        // the root itself for an empty path, else "." + path
    bracket,         // path as it is when it starts with "[", else "." + path
    bracket_or_root  // the root for an empty path, else as bracket
};

struct Expression {
    bool root_only = false;  // the root itself, no steps
    bool dot_implied = true;
};

Expression expression_for(std::string_view path, Rule rule) {
    if (path.empty() && (rule == Rule::optional || rule == Rule::bracket_or_root)) {
        return {true, false};
    }
    bool bracket = rule == Rule::bracket || rule == Rule::bracket_or_root;
    return {false, !(bracket && !path.empty() && path.front() == '[')};
}

struct Step {
    bool is_index = false;
    std::string name;  // member name in UTF-8
    long long index = 0;
};
using Steps = std::vector<Step>;

// Every step of a path under a rule; nothing when it is not a member expression.
std::optional<Steps> steps_for(std::string_view path, Rule rule) {
    Expression e = expression_for(path, rule);
    Steps steps;
    if (e.root_only) {
        return steps;
    }
    PathReader reader(path, e.dot_implied);
    StepView view;
    int r = 0;
    while ((r = reader.next(view)) == 1) {
        steps.push_back(
            {view.is_index, view.is_index ? std::string() : to_utf8(view.name), view.index});
    }
    if (r < 0) {
        return std::nullopt;
    }
    return steps;
}

// The member of an object with this UTF-8 name, or null.
template <typename J>
J* find_member(J& object, std::string_view name) {
    for (auto& item :
         object.template get_ref<
             std::conditional_t<std::is_const_v<J>, const Json::object_t&, Json::object_t&>>()) {
        if (item.first == name) {
            return &item.second;
        }
    }
    return nullptr;
}

template <typename J>
J* child_at(J& parent, bool is_index, std::string_view utf8_name, long long index) {
    if (parent.is_object()) {
        return is_index ? find_member(parent, std::to_string(index))
                        : find_member(parent, utf8_name);
    }
    if (parent.is_array() && is_index && index >= 0 &&
        static_cast<unsigned long long>(index) < parent.size()) {
        return &parent[static_cast<std::size_t>(index)];
    }
    return nullptr;  // scalars and other keys have no such member
}

template <typename J>
J* child(J& parent, const Step& step) {
    return child_at(parent, step.is_index, step.name, step.index);
}

// The result of evaluating a member expression: a value, undefined (an absent
// final member), or an error (a step beyond null or undefined).
enum class Outcome { value, undefined, error };

template <typename J>
struct Lookup {
    Outcome outcome = Outcome::error;
    J* value = nullptr;
};

template <typename J>
Lookup<J> evaluate(J& root, const Steps& steps, std::size_t count) {
    J* current = &root;
    for (std::size_t i = 0; i < count; ++i) {
        if (current == nullptr || current->is_null()) {
            return {};
        }
        current = child(*current, steps[i]);
    }
    if (current == nullptr) {
        return {Outcome::undefined, nullptr};
    }
    return {Outcome::value, current};
}

template <typename J>
Lookup<J> evaluate(J& root, const Steps& steps) {
    return evaluate(root, steps, steps.size());
}

// Evaluates a path under a rule while reading it, without allocating for
// ASCII member names. A text that is not a member expression is an error
// even where its first steps could be followed.
Lookup<const Json> evaluate(const Json& root, std::string_view path, Rule rule) {
    Expression e = expression_for(path, rule);
    if (e.root_only) {
        return {Outcome::value, &root};
    }
    PathReader reader(path, e.dot_implied);
    const Json* current = &root;
    bool failed = false;
    StepView step;
    int r = 0;
    while ((r = reader.next(step)) == 1) {
        if (failed) {
            continue;
        }
        if (current == nullptr || current->is_null()) {
            failed = true;
            continue;
        }
        if (step.is_index || platform::all_ascii(step.name)) {
            current = child_at(*current, step.is_index, step.name, step.index);
        } else {
            current = child_at(*current, false, to_utf8(step.name), 0);
        }
    }
    if (r < 0 || failed) {
        return {};
    }
    if (current == nullptr) {
        return {Outcome::undefined, nullptr};
    }
    return {Outcome::value, current};
}

// Assigns at the expression's final step. An assignment through null or
// undefined fails; one to a scalar's member, or to an array member that is
// not an index, changes nothing, as in a member expression.
void assign(Json& root, const Steps& steps, Json value) {
    if (steps.empty()) {
        root = std::move(value);
        return;
    }
    Lookup<Json> parent = evaluate(root, steps, steps.size() - 1);
    if (parent.outcome != Outcome::value || parent.value->is_null()) {
        return;
    }
    Json& target = *parent.value;
    const Step& last = steps.back();
    if (target.is_object()) {
        target[last.is_index ? std::to_string(last.index) : last.name] = std::move(value);
    } else if (target.is_array() && last.is_index && last.index >= 0) {
        auto index = static_cast<std::size_t>(last.index);
        if (index >= target.size()) {
            if (last.index - static_cast<long long>(target.size()) > max_array_growth) {
                return;
            }
            while (target.size() <= index) {
                target.push_back(nullptr);
            }
        }
        target[index] = std::move(value);
    }
}

// The text of a value as a script engine converts it for display.
std::string display_text(const Json& value) {
    switch (value.type()) {
        case Json::value_t::string:
            return from_utf8(value.get_ref<const std::string&>());
        case Json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case Json::value_t::object:
            return "[object Object]";
        case Json::value_t::array: {
            std::string out;
            for (std::size_t i = 0; i < value.size(); ++i) {
                if (i > 0) {
                    out += ",";
                }
                out += display_text(value[i]);
            }
            return out;
        }
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return dump(value);
        default:
            return {};
    }
}

bool truthy(const Json& value) {
    switch (value.type()) {
        case Json::value_t::boolean:
            return value.get<bool>();
        case Json::value_t::string:
            return !value.get_ref<const std::string&>().empty();
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: {
            double d = value.get<double>();
            return d != 0 && !std::isnan(d);
        }
        case Json::value_t::object:
        case Json::value_t::array:
            return true;
        default:
            return false;
    }
}

// Leading integer of a text (optional minus sign, digits); 0 when none.
int leading_integer(std::string_view text) {
    std::size_t i = 0;
    bool negative = i < text.size() && text[i] == '-';
    if (negative) {
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL << 31);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

Steps with_index(Steps steps, int index) {
    Step step;
    step.is_index = true;
    step.index = index;
    steps.push_back(step);
    return steps;
}

}  // namespace

JsonDocument::JsonDocument() {
    create_engine();
}

void JsonDocument::destroy() {
    engine_.reset();
}

JsonDocument JsonDocument::copy() const {
    return *this;
}

void JsonDocument::create_engine() {
    engine_ = std::make_shared<Engine>();
}

bool JsonDocument::parse(std::string_view text) {
    if (engine_) {
        create_engine();
    }
    if (!engine_) {
        return false;
    }
    engine_->root = nullptr;
    std::optional<Json> value = parse_json(text);
    if (!value || value->is_null()) {
        return false;
    }
    engine_->root = std::move(*value);
    return true;
}

std::string JsonDocument::to_json() const {
    return engine_ ? dump(engine_->root) : std::string();
}

void JsonDocument::set_member(std::string_view path, std::string& value, bool as_json) {
    if (as_json && value.empty()) {
        value = "{}";
    }
    set_member(path, std::string_view(value), as_json);
}

void JsonDocument::set_member(std::string_view path, std::string_view value, bool as_json) {
    std::optional<Steps> steps = steps_for(path, Rule::member);
    std::optional<Json> stored = value_of(as_json && value.empty() ? "{}" : value, as_json);
    if (engine_ && steps && stored) {
        assign(engine_->root, *steps, std::move(*stored));
    }
}

void JsonDocument::set_member_json(std::string_view path, std::string_view value) {
    std::optional<Steps> steps = steps_for(path, Rule::member);
    std::optional<Json> stored = parse_json(value);
    if (engine_ && steps && stored) {
        assign(engine_->root, *steps, std::move(*stored));
    }
}

void JsonDocument::set_member_number(std::string_view path, double value) {
    std::optional<Steps> steps = steps_for(path, Rule::member);
    if (engine_ && steps && std::isfinite(value)) {
        assign(engine_->root, *steps, parse_number(format_13g(value), true).value_or(0));
    }
}

double JsonDocument::get_number(std::string_view path) const {
    if (!engine_) {
        return 0;
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::member);
    if (found.outcome != Outcome::value) {
        return 0;
    }
    const Json& value = *found.value;
    if (value.is_number()) {
        return value.get<double>();
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    if (value.is_string()) {
        return parse_number(value.get_ref<const std::string&>(), true).value_or(0);
    }
    return 0;
}

std::string JsonDocument::get_member_json(std::string_view path) const {
    if (!engine_) {
        return {};
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::member);
    return found.outcome == Outcome::value ? dump(*found.value) : std::string();
}

std::string JsonDocument::get_text(std::string_view path, bool as_json) const {
    if (!engine_) {
        return {};
    }
    if (as_json) {
        Lookup<const Json> found = evaluate(engine_->root, path, Rule::bracket);
        return found.outcome == Outcome::value ? dump(*found.value) : std::string();
    }
    if (!path.empty() && path.front() != '[') {
        // The type test, the number read and the text read all name the same
        // member here: one evaluation serves them all.
        Lookup<const Json> found = evaluate(engine_->root, path, Rule::member);
        if (found.outcome != Outcome::value) {
            return {};
        }
        return found.value->is_number() ? format_13g(found.value->get<double>())
                                        : display_text(*found.value);
    }
    if (type_of(path) == JsonValueType::number) {
        return format_13g(get_number(path));
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::bracket);
    return found.outcome == Outcome::value ? display_text(*found.value) : std::string();
}

JsonDocument JsonDocument::get_document(std::string_view path) const {
    JsonDocument document;
    document.parse(get_text(path, true));
    return document;
}

int JsonDocument::count(std::string_view path) const {
    if (!engine_) {
        return 0;
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::bracket_or_root);
    if (found.outcome == Outcome::error) {
        return 0;
    }
    if (found.outcome == Outcome::undefined || found.value->is_null()) {
        return -2;
    }
    if (found.value->is_object() || found.value->is_array()) {
        return static_cast<int>(found.value->size());
    }
    return 0;
}

void JsonDocument::push(std::string_view value, std::string_view path, bool raw) {
    std::optional<Steps> steps = steps_for(path, Rule::optional);
    std::optional<Json> stored = value_of(value, raw);
    if (!engine_ || !steps || !stored) {
        return;
    }
    Lookup<Json> target = evaluate(engine_->root, *steps);
    if (target.outcome == Outcome::error) {
        return;
    }
    if (target.outcome == Outcome::undefined || !target.value->is_array()) {
        assign(engine_->root, *steps, Json::array());
        target = evaluate(engine_->root, *steps);
    }
    if (target.outcome == Outcome::value && target.value->is_array()) {
        target.value->push_back(std::move(*stored));
    }
}

void JsonDocument::push(std::string_view value, std::string& path, bool raw) {
    const std::string given = path;
    path = given.empty() ? name_ : name_ + "." + given;
    push(value, std::string_view(given), raw);
}

JsonDocument JsonDocument::get_element_document(int index, std::string_view path) const {
    JsonDocument document;
    document.parse(get_element_text(index, path, true));
    return document;
}

std::string JsonDocument::get_element_text(int index, std::string_view path, bool as_json) const {
    std::optional<Steps> steps = steps_for(path, Rule::optional);
    if (!engine_ || !steps) {
        return {};
    }
    Lookup<const Json> found = evaluate(std::as_const(engine_->root), with_index(*steps, index));
    if (found.outcome != Outcome::value) {
        return {};
    }
    return as_json ? dump(*found.value) : display_text(*found.value);
}

void JsonDocument::set_element(int index, std::string_view value, bool raw) {
    std::optional<Json> stored = value_of(value, raw);
    if (engine_ && stored) {
        assign(engine_->root, with_index({}, index), std::move(*stored));
    }
}

void JsonDocument::remove_element(int index) {
    if (!engine_ || !engine_->root.is_array()) {
        return;
    }
    Json& array = engine_->root;
    const auto size = static_cast<long long>(array.size());
    long long start = index < 0 ? std::max(size + index, 0LL) : std::min<long long>(index, size);
    if (start < size) {
        array.erase(static_cast<std::size_t>(start));
    }
}

void JsonDocument::remove_path_element(std::string_view path) {
    std::size_t open = platform::find_single_byte_char(path, '[');
    std::string_view array_path = path.substr(0, open);
    std::string_view index_text;
    if (open != std::string_view::npos) {
        std::size_t close = platform::find_single_byte_char(path, ']', open + 1);
        if (close != std::string_view::npos) {
            index_text = path.substr(open + 1, close - open - 1);
        }
    }
    JsonDocument temporary;
    temporary.parse(get_text(array_path, true));
    temporary.remove_element(leading_integer(index_text));
    set_member_json(array_path, temporary.to_json());
}

void JsonDocument::reset_root(int type) {
    if (!engine_) {
        return;
    }
    if (type == 0 || type == 4) {
        engine_->root = Json::object();
    } else if (type == 5) {
        engine_->root = Json::array();
    }
}

bool JsonDocument::set_root(std::string_view value, bool raw) {
    std::optional<Json> stored = value_of(value, raw);
    if (!engine_ || !stored) {
        return false;
    }
    engine_->root = std::move(*stored);
    return truthy(engine_->root);
}

bool JsonDocument::has_member(std::string_view path) const {
    if (!engine_) {
        return false;
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::member);
    return found.outcome == Outcome::value && !found.value->is_null();
}

int JsonDocument::keys(std::vector<std::string>& list, std::string_view path) const {
    list.clear();
    if (!engine_) {
        return 0;
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::optional);
    if (found.outcome != Outcome::value) {
        return 0;
    }
    if (found.value->is_object()) {
        for (const auto& item : found.value->items()) {
            list.push_back(from_utf8(item.key()));
        }
    } else if (found.value->is_array()) {
        for (std::size_t i = 0; i < found.value->size(); ++i) {
            list.push_back(std::to_string(i));
        }
    }
    return static_cast<int>(list.size());
}

JsonValueType JsonDocument::type_of(std::string_view path) const {
    if (!engine_) {
        return JsonValueType::unknown;
    }
    Lookup<const Json> found = evaluate(engine_->root, path, Rule::optional);
    if (found.outcome == Outcome::error) {
        return JsonValueType::unknown;
    }
    if (found.outcome == Outcome::undefined || found.value->is_null()) {
        return JsonValueType::null;
    }
    switch (found.value->type()) {
        case Json::value_t::string:
            return JsonValueType::string;
        case Json::value_t::object:
            return JsonValueType::object;
        case Json::value_t::array:
            return JsonValueType::array;
        case Json::value_t::boolean:
            return JsonValueType::boolean;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return JsonValueType::number;
        default:
            return JsonValueType::unknown;
    }
}

void JsonDocument::clear() {
    if (engine_) {
        engine_->root = Json::object();
    }
}

}  // namespace quorvel::data
