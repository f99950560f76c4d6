#pragma once
// Member expressions over a JSON value: the path grammar of JsonDocument and
// the one walk that its reads and writes share. Paths are code-page text:
// member names (letters, digits, "_", "$" and double-byte characters, not
// starting with a digit) joined by ".", with decimal indices in brackets, and
// blanks allowed between the parts. Member names are matched against the
// value's UTF-8 names. Internal to the data layer.

#include <nlohmann/json.hpp>
#include <string_view>

namespace quorvel::data::json_path {

using Json = nlohmann::ordered_json;

// How an operation turns its path into a member expression of the root.
enum class Rule {
    member,          // always "." + path
    optional,        // the root itself for an empty path, else "." + path
    bracket,         // path as it is when it starts with "[", else "." + path
    bracket_or_root  // the root for an empty path, else as bracket
};

// One step of a member expression: a member name (code-page text, a view into
// the path) or an index.
struct Step {
    bool is_index = false;
    std::string_view name;
    long long index = 0;
};

// What a member expression evaluates to: a value, undefined (an absent final
// member), or an error (the text is not a member expression, or a step goes
// beyond null or undefined).
enum class Outcome { value, undefined, error };

template <typename J>
struct Place {
    Outcome outcome = Outcome::error;
    J* value = nullptr;   // the value named, when the outcome is a value
    J* parent = nullptr;  // what the final step was taken from; null for the root itself
    Step last;            // the final step, when there is a parent
};

// Walks `path` from `root` under `rule`. Reads allocate nothing for ASCII
// member names.
Place<const Json> find(const Json& root, std::string_view path, Rule rule);
Place<Json> find(Json& root, std::string_view path, Rule rule);
// The same, then one more step to the element at `then_index`.
Place<const Json> find(const Json& root, std::string_view path, Rule rule, long long then_index);

// Stores `value` where the expression leads. The root itself is replaced; an
// object's member is set or added; an array's element at an index is set,
// the array first growing with nulls up to it (a gap of more than 2^20
// elements is refused). Through null or undefined nothing is stored, nor as
// a scalar's member or an array member that is not an index. Returns whether
// it was stored.
bool assign(Json& root, std::string_view path, Rule rule, Json value);
// The same at the element `then_index` of what the expression leads to.
bool assign(Json& root, std::string_view path, Rule rule, long long then_index, Json value);

}  // namespace quorvel::data::json_path
