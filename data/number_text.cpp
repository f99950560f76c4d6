#include "data/number_text.h"

#include <charconv>

namespace quorvel::data {
namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string format_13g(double value) {
    char buffer[64];
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 13);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::optional<double> parse_number(std::string_view text, NumberExtent extent) {
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i])) {
        ++i;
    }
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && text[i] == '-') {
            return std::nullopt;
        }
    }
    double value = 0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error != std::errc() && error != std::errc::result_out_of_range) {
        return std::nullopt;
    }
    if (extent == NumberExtent::whole) {
        for (const char* p = stop; p < end; ++p) {
            if (!is_blank(*p)) {
                return std::nullopt;
            }
        }
    }
    return value;
}

}  // namespace quorvel::data
