#pragma once
// A JSON value read and written by path. Replies are parsed as JSON, never
// run as script. Paths are member names (letters, digits, "_", "$" and
// double-byte characters, not starting with a digit) joined by ".", with
// zero-based decimal indices in brackets: result[3][0], magic[0].data[2][1].title.
// Texts in and out are code-page text; failures give empty values.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::data {

enum class JsonValueType : int {
    unknown = -1,  // the path could not be evaluated
    null = 0,      // null, or an absent final member
    boolean = 1,
    number = 2,
    never = 3,  // not produced
    object = 4,
    array = 5,
    string = 6,
};

class JsonDocument {
  public:
    // A document holding an empty object.
    JsonDocument();

    // Releases this document's hold on its value; afterwards reads give empty
    // values, writes do nothing and parse returns false.
    void destroy();
    // A document sharing this one's value: changes through either show in both.
    JsonDocument copy() const;
    // Starts afresh with an empty object, sharing nothing with earlier copies.
    void create_engine();

    // Replaces the value by the one JSON value of `text` (object, array,
    // number, boolean or string). False, with the value null, for empty
    // text, null, anything that is not exactly one JSON value, or nesting
    // deeper than 512 levels.
    bool parse(std::string_view text);
    std::string to_json() const;

    // Sets the member at `path` to `value` as a string, or with as_json to the
    // JSON value it holds (an empty value is taken as, and becomes, "{}").
    void set_member(std::string_view path, std::string& value, bool as_json = false);
    void set_member(std::string_view path, std::string_view value, bool as_json = false);
    void set_member_json(std::string_view path, std::string_view value);
    // The number is stored rounded to 13 significant digits.
    void set_member_number(std::string_view path, double value);

    double get_number(std::string_view path) const;
    std::string get_member_json(std::string_view path) const;
    // A string's characters, a number in "%.13g", or with as_json the JSON text.
    std::string get_text(std::string_view path, bool as_json = false) const;
    // An independent document holding a copy of the value at `path`.
    JsonDocument get_document(std::string_view path) const;
    // Members of an object or elements of an array; -2 for null or an absent
    // final member; 0 when the path cannot be evaluated.
    int count(std::string_view path = {}) const;

    // Appends to the array at `path`, first replacing anything that is not an
    // array by an empty one. With raw the value is read as JSON.
    void push(std::string_view value, std::string_view path = {}, bool raw = false);
    // The same; `path` receives the member expression that was used.
    void push(std::string_view value, std::string& path, bool raw = false);

    JsonDocument get_element_document(int index, std::string_view path = {}) const;
    std::string get_element_text(int index, std::string_view path = {}, bool as_json = false) const;
    void set_element(int index, std::string_view value, bool raw = false);
    // Removes one element of the root array, counting from the end when negative.
    void remove_element(int index);
    // Removes the element that a path ending in one bracketed index names.
    void remove_path_element(std::string_view path);

    // 0 or 4: an empty object; 5: an empty array; anything else: no change.
    void reset_root(int type);
    void reset_root(JsonValueType type) { reset_root(static_cast<int>(type)); }
    // Replaces the root; returns whether the new value is truthy.
    bool set_root(std::string_view value, bool raw = false);

    bool has_member(std::string_view path) const;
    // Replaces `list` by the member names (array indices for an array) at
    // `path`, in order; returns their number.
    int keys(std::vector<std::string>& list, std::string_view path = {}) const;
    JsonValueType type_of(std::string_view path = {}) const;
    void clear();

    const std::string& variable_name() const { return name_; }

  private:
    struct Engine;
    std::shared_ptr<Engine> engine_;
    std::string name_ = "da";
};

}  // namespace quorvel::data
