#include "data/script_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "data/encoding.h"

namespace quorvel::data {

using Json = nlohmann::ordered_json;

double number_value(const Json& number) {
    switch (number.type()) {
        case Json::value_t::number_integer:
            return static_cast<double>(number.get_ref<const Json::number_integer_t&>());
        case Json::value_t::number_unsigned:
            return static_cast<double>(number.get_ref<const Json::number_unsigned_t&>());
        case Json::value_t::number_float:
            return number.get_ref<const Json::number_float_t&>();
        default:
            return 0;
    }
}

std::string script_number_text(double value) {
    if (std::isnan(value)) {
        return "NaN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-Infinity" : "Infinity";
    }
    if (value == 0) {
        return "0";
    }
    // The shortest round-trip digits d.ddd and exponent e of the magnitude.
    char scientific[32];
    auto [end, error] = std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value),
                                      std::chars_format::scientific);
    if (error != std::errc()) {
        return {};
    }
    std::string digits;
    const char* p = scientific;
    for (; p < end && *p != 'e'; ++p) {
        if (*p != '.') {
            digits.push_back(*p);
        }
    }
    int exponent = 0;
    std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, exponent);

    // As Number::toString: the value is 0.digits * 10^n, with k digits.
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    std::string out = value < 0 ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out.append(digits, 0, static_cast<std::size_t>(n));
        out += '.';
        out.append(digits, static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += n - 1 < 0 ? "e-" : "e+";
        out += std::to_string(std::abs(n - 1));
    }
    return out;
}

namespace {

void append_json_string(std::string_view utf8, std::string& out) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    for (char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += "\\u00";
                    out += hex[static_cast<unsigned char>(c) >> 4];
                    out += hex[static_cast<unsigned char>(c) & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

}  // namespace

void append_json_text(const Json& value, std::string& out) {
    switch (value.type()) {
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [name, member] : value.get_ref<const Json::object_t&>()) {
                if (!first) {
                    out += ',';
                }
                first = false;
                append_json_string(name, out);
                out += ':';
                append_json_text(member, out);
            }
            out += '}';
            break;
        }
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const Json& element : value.get_ref<const Json::array_t&>()) {
                if (!first) {
                    out += ',';
                }
                first = false;
                append_json_text(element, out);
            }
            out += ']';
            break;
        }
        case Json::value_t::string:
            append_json_string(value.get_ref<const std::string&>(), out);
            break;
        case Json::value_t::boolean:
            out += value.get<bool>() ? "true" : "false";
            break;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float: {
            const double number = number_value(value);
            out += std::isfinite(number) ? script_number_text(number) : "null";
            break;
        }
        default:  // null, and the binary values JSON text never holds
            out += "null";
            break;
    }
}

std::string json_text(const Json& value) {
    std::string utf8;
    append_json_text(value, utf8);
    return gbk_from_utf8(utf8);
}

std::string display_text(const Json& value) {
    switch (value.type()) {
        case Json::value_t::string:
            return gbk_from_utf8(value.get_ref<const std::string&>());
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
            return script_number_text(number_value(value));
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
            double d = number_value(value);
            return d != 0 && !std::isnan(d);
        }
        case Json::value_t::object:
        case Json::value_t::array:
            return true;
        default:
            return false;
    }
}

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
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

}  // namespace quorvel::data
