#pragma once
// The text forms a script engine gives JSON values: JSON text as
// JSON.stringify writes it, the display text of String(value), truthiness,
// and the leading integer of a text. Internal to the data layer.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace quorvel::data {

// The double a JSON number stands for; integers beyond 2^53 round to the
// nearest double, as a script engine reads them.
double number_value(const nlohmann::ordered_json& number);

// A number as Number.prototype.toString writes it: the shortest digits that
// read back as the same double, in fixed notation for magnitudes from 1e-6 up
// to below 1e21 (0.000001, 100000000000000000000) and in exponent notation
// otherwise (1e-7, 1.5e-7, 1e+21); "0" for negative zero; "NaN", "Infinity",
// "-Infinity".
std::string script_number_text(double value);

// Appends the value as JSON.stringify writes it: no blanks, numbers as
// script_number_text (non-finite ones as null), strings with ", \, \b, \f,
// \n, \r, \t escaped, other control characters as \u00xx and everything else
// as it is. UTF-8 in and out.
void append_json_text(const nlohmann::ordered_json& value, std::string& out);

// The same as code-page text.
std::string json_text(const nlohmann::ordered_json& value);

// The value as String(value) gives it, in code-page text: a string's
// characters, numbers as script_number_text, "true"/"false", "[object Object]"
// for an object, an array's elements joined by "," (null elements empty),
// and empty text for null.
std::string display_text(const nlohmann::ordered_json& value);

// Whether the value counts as true in a condition: a non-empty string, a
// number other than 0 and NaN, true, any object or array.
bool truthy(const nlohmann::ordered_json& value);

// The leading integer of a text (optional minus sign, digits), clamped to
// the int range; 0 when there is none.
int leading_integer(std::string_view text);

}  // namespace quorvel::data
