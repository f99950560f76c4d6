#include "data/json_document.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "data/encoding.h"
#include "data/json_path.h"
#include "data/number_text.h"
#include "data/script_text.h"
#include "platform/code_page.h"
#include "platform/code_page_text.h"

namespace quorvel::data {

using Json = nlohmann::ordered_json;
using json_path::Outcome;
using json_path::Rule;

struct JsonDocument::Engine {
    Json root = Json::object();
};

namespace {

constexpr int max_nesting = 512;

// Builds the value from the parser's events, as nlohmann's own DOM parser
// does (a repeated member name keeps its first place and takes the last
// value), but refuses nesting deeper than max_nesting, so that no later walk
// over the value can exhaust the stack.
class DepthLimitedBuilder {
  public:
    explicit DepthLimitedBuilder(Json& root) : root_(root) {}

    bool null() { return put(nullptr); }
    bool boolean(bool value) { return put(value); }
    bool number_integer(Json::number_integer_t value) { return put(value); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(value); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return put(value); }
    bool string(Json::string_t& value) { return put(std::move(value)); }
    bool binary(Json::binary_t&) { return false; }  // JSON text has no binary values
    bool start_object(std::size_t) { return open(Json::object()); }
    bool key(Json::string_t& name) {
        member_ = &(*open_.back())[std::move(name)];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Json::array()); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const Json::exception&) { return false; }

  private:
    // Places a value in the open container (at the last key read, for an
    // object) or as the root; returns where it now stands.
    template <typename V>
    Json* place(V&& value) {
        if (open_.empty()) {
            root_ = Json(std::forward<V>(value));
            return &root_;
        }
        Json& container = *open_.back();
        if (container.is_array()) {
            container.emplace_back(std::forward<V>(value));
            return &container.back();
        }
        *member_ = Json(std::forward<V>(value));
        return member_;
    }
    template <typename V>
    bool put(V&& value) {
        place(std::forward<V>(value));
        return true;
    }
    bool open(Json container) {
        if (open_.size() >= static_cast<std::size_t>(max_nesting)) {
            return false;
        }
        open_.push_back(place(std::move(container)));
        return true;
    }
    bool close() {
        open_.pop_back();
        return true;
    }

    Json& root_;
    std::vector<Json*> open_;
    Json* member_ = nullptr;
};

// The one JSON value of a code-page text, if it holds exactly one.
std::optional<Json> parse_json(std::string_view text) {
    // Replies are converted one after another: keep the buffer's storage.
    thread_local std::string utf8;
    platform::convert_code_page(text.substr(0, text.find('\0')), platform::code_page_gbk,
                                platform::code_page_utf8, utf8);
    try {
        Json value;
        DepthLimitedBuilder builder(value);
        // The whole text must be the one value; comments are not JSON.
        constexpr bool strict = true;
        constexpr bool ignore_comments = false;
        if (!Json::sax_parse(utf8, &builder, Json::input_format_t::json, strict, ignore_comments)) {
            return std::nullopt;
        }
        return value;
    } catch (...) {
        return std::nullopt;
    }
}

// The value a writing operation stores: the text as a string, or in
// TextForm::json the JSON value it holds.
std::optional<Json> value_of(std::string_view text, TextForm form) {
    if (form == TextForm::json) {
        return parse_json(text);
    }
    return Json(utf8_from_gbk(text));
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
    return engine_ ? json_text(engine_->root) : std::string();
}

void JsonDocument::set_member_writing_back(std::string_view path, std::string& value,
                                           TextForm form) {
    if (form == TextForm::json && value.empty()) {
        value = "{}";
    }
    set_member(path, std::string_view(value), form);
}

void JsonDocument::set_member(std::string_view path, std::string_view value, TextForm form) {
    std::optional<Json> stored =
        value_of(form == TextForm::json && value.empty() ? "{}" : value, form);
    if (engine_ && stored) {
        json_path::assign(engine_->root, path, Rule::member, std::move(*stored));
    }
}

void JsonDocument::set_member_json(std::string_view path, std::string_view value) {
    std::optional<Json> stored = parse_json(value);
    if (engine_ && stored) {
        json_path::assign(engine_->root, path, Rule::member, std::move(*stored));
    }
}

void JsonDocument::set_member_number(std::string_view path, double value) {
    if (engine_ && std::isfinite(value)) {
        json_path::assign(engine_->root, path, Rule::member,
                          parse_number(format_13g(value), NumberExtent::whole).value_or(0));
    }
}

double JsonDocument::get_number(std::string_view path) const {
    if (!engine_) {
        return 0;
    }
    auto found = json_path::find(engine_->root, path, Rule::member);
    if (found.outcome != Outcome::value) {
        return 0;
    }
    const Json& value = *found.value;
    if (value.is_number()) {
        return number_value(value);
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    if (value.is_string()) {
        return parse_number(value.get_ref<const std::string&>(), NumberExtent::whole).value_or(0);
    }
    return 0;
}

std::string JsonDocument::get_member_json(std::string_view path) const {
    if (!engine_) {
        return {};
    }
    auto found = json_path::find(engine_->root, path, Rule::member);
    return found.outcome == Outcome::value ? json_text(*found.value) : std::string();
}

std::string JsonDocument::get_text(std::string_view path, TextForm form) const {
    if (!engine_) {
        return {};
    }
    if (form == TextForm::json) {
        auto found = json_path::find(engine_->root, path, Rule::bracket);
        return found.outcome == Outcome::value ? json_text(*found.value) : std::string();
    }
    if (path.empty()) {
        // No member is named: a number at the root reads as 0, anything else as nothing.
        return engine_->root.is_number() ? format_13g(0) : std::string();
    }
    if (path.front() == '[') {
        // An index into the root gives the element's display text, numbers included.
        auto found = json_path::find(engine_->root, path, Rule::bracket);
        return found.outcome == Outcome::value ? display_text(*found.value) : std::string();
    }
    auto found = json_path::find(engine_->root, path, Rule::member);
    if (found.outcome != Outcome::value) {
        return {};
    }
    return found.value->is_number() ? format_13g(number_value(*found.value))
                                    : display_text(*found.value);
}

JsonDocument JsonDocument::get_document(std::string_view path) const {
    JsonDocument document;
    document.parse(get_text(path, TextForm::json));
    return document;
}

int JsonDocument::count(std::string_view path) const {
    if (!engine_) {
        return 0;
    }
    auto found = json_path::find(engine_->root, path, Rule::bracket_or_root);
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

void JsonDocument::push(std::string_view value, std::string_view path, TextForm form) {
    std::optional<Json> stored = value_of(value, form);
    if (!engine_ || !stored) {
        return;
    }
    auto target = json_path::find(engine_->root, path, Rule::optional);
    if (target.outcome == Outcome::error) {
        return;
    }
    if (target.outcome == Outcome::undefined || !target.value->is_array()) {
        json_path::assign(engine_->root, path, Rule::optional, Json::array());
        target = json_path::find(engine_->root, path, Rule::optional);
    }
    if (target.outcome == Outcome::value && target.value->is_array()) {
        target.value->push_back(std::move(*stored));
    }
}

void JsonDocument::push_returning_path(std::string_view value, std::string& path, TextForm form) {
    const std::string given = path;
    path = given.empty() ? name_ : name_ + "." + given;
    push(value, given, form);
}

JsonDocument JsonDocument::get_element_document(int index, std::string_view path) const {
    JsonDocument document;
    document.parse(get_element_text(index, path, TextForm::json));
    return document;
}

std::string JsonDocument::get_element_text(int index, std::string_view path, TextForm form) const {
    if (!engine_) {
        return {};
    }
    auto found = json_path::find(engine_->root, path, Rule::optional, index);
    if (found.outcome != Outcome::value) {
        return {};
    }
    return form == TextForm::json ? json_text(*found.value) : display_text(*found.value);
}

void JsonDocument::set_element(int index, std::string_view value, TextForm form) {
    std::optional<Json> stored = value_of(value, form);
    if (engine_ && stored) {
        json_path::assign(engine_->root, {}, Rule::optional, index, std::move(*stored));
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
    temporary.parse(get_text(array_path, TextForm::json));
    temporary.remove_element(leading_integer(index_text));
    set_member_json(array_path, temporary.to_json());
}

void JsonDocument::reset_root(JsonValueType type) {
    if (!engine_) {
        return;
    }
    if (type == JsonValueType::null || type == JsonValueType::object) {
        engine_->root = Json::object();
    } else if (type == JsonValueType::array) {
        engine_->root = Json::array();
    }
}

bool JsonDocument::set_root(std::string_view value, TextForm form) {
    std::optional<Json> stored = value_of(value, form);
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
    auto found = json_path::find(engine_->root, path, Rule::member);
    return found.outcome == Outcome::value && !found.value->is_null();
}

int JsonDocument::keys(std::vector<std::string>& list, std::string_view path) const {
    list.clear();
    if (!engine_) {
        return 0;
    }
    auto found = json_path::find(engine_->root, path, Rule::optional);
    if (found.outcome != Outcome::value) {
        return 0;
    }
    if (found.value->is_object()) {
        for (const auto& item : found.value->items()) {
            list.push_back(gbk_from_utf8(item.key()));
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
    auto found = json_path::find(engine_->root, path, Rule::optional);
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
