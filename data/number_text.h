#pragma once
// Numbers to and from text the same way whatever the locale: the program's
// texts always use "." as the decimal point.

#include <optional>
#include <string>
#include <string_view>

namespace quorvel::data {

// As printf's "%.13g": at most 13 significant digits, fixed notation unless
// the exponent is below -4 or at least 13, no trailing zeros (1e+20, 1.5, 5).
std::string format_13g(double value);

// How much of a text a number must take up.
enum class NumberExtent {
    leading,  // the number at the start; anything may follow it
    whole,    // nothing but blanks may follow it
};

// The decimal number at the start of `text` (after blanks, with an optional
// sign), as `extent` asks. Nothing when there is no number.
std::optional<double> parse_number(std::string_view text, NumberExtent extent);

}  // namespace quorvel::data
