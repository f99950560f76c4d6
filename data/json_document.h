#pragma once
// A JSON value read and written by path. Replies are parsed as JSON, never
// run as script. Paths are member names (letters, digits, "_", "$" and
// double-byte characters, not starting with a digit) joined by ".", with
// zero-based decimal indices in brackets: result[3][0], magic[0].data[2][1].title.
// Texts in and out are code-page text; failures give empty values. JSON text
// out is written as JavaScript's JSON.stringify writes it.

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

// Whether a text is plain text or JSON text. Reads give a value's plain text
// or its JSON text; writes store the given text as a string, or the JSON
// value it holds.
enum class TextForm { plain, json };

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
    // JSON text as JavaScript's JSON.stringify writes it: no blanks, numbers
    // in the script's own form (5, 0.1, 1e+21, 12345678901234567000).
    std::string to_json() const;

    // Sets the member at `path` to `value` as a string, or in TextForm::json
    // to the JSON value it holds (an empty value is taken as "{}"); a value
    // that is not JSON changes nothing.
    void set_member(std::string_view path, std::string_view value, TextForm form = TextForm::plain);
    // The same, and in TextForm::json an empty `value` is also set to "{}".
    void set_member_writing_back(std::string_view path, std::string& value,
                                 TextForm form = TextForm::plain);
    void set_member_json(std::string_view path, std::string_view value);
    // The number is stored rounded to 13 significant digits.
    void set_member_number(std::string_view path, double value);

    double get_number(std::string_view path) const;
    std::string get_member_json(std::string_view path) const;
    // A string's characters, a number in "%.13g" (but in its display form
    // when the path starts with "["), other values as their display text; in
    // TextForm::json the JSON text.
    std::string get_text(std::string_view path, TextForm form = TextForm::plain) const;
    // An independent document holding a copy of the value at `path`.
    JsonDocument get_document(std::string_view path) const;
    // Members of an object or elements of an array; -2 for null or an absent
    // final member; 0 when the path cannot be evaluated.
    int count(std::string_view path = {}) const;

    // Appends to the array at `path`, first replacing anything that is not an
    // array by an empty one.
    void push(std::string_view value, std::string_view path = {}, TextForm form = TextForm::plain);
    // The same; `path` receives the member expression that was used
    // (variable_name() and the path joined by ".").
    void push_returning_path(std::string_view value, std::string& path,
                             TextForm form = TextForm::plain);

    JsonDocument get_element_document(int index, std::string_view path = {}) const;
    // The element's display text (numbers as the script writes them), or in
    // TextForm::json its JSON text.
    std::string get_element_text(int index, std::string_view path = {},
                                 TextForm form = TextForm::plain) const;
    void set_element(int index, std::string_view value, TextForm form = TextForm::plain);
    // Removes one element of the root array, counting from the end when negative.
    void remove_element(int index);
    // Removes the element that a path ending in one bracketed index names.
    void remove_path_element(std::string_view path);

    // null or object: an empty object; array: an empty array; anything else: no change.
    void reset_root(JsonValueType type);
    // Replaces the root; returns whether the new value is truthy.
    bool set_root(std::string_view value, TextForm form = TextForm::plain);

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
