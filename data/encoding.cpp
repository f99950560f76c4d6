#include "data/encoding.h"

#include "platform/code_page.h"

namespace quorvel::data {
namespace {

std::string_view up_to_zero(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string utf8_from_gbk(std::string_view text) {
    return platform::convert_code_page(up_to_zero(text), platform::code_page_gbk,
                                       platform::code_page_utf8);
}

std::string gbk_from_utf8(std::string_view text) {
    return platform::convert_code_page(up_to_zero(text), platform::code_page_utf8,
                                       platform::code_page_gbk);
}

std::string url_encode(std::string_view text, Unreserved unreserved, EncodeBytes encode) {
    static constexpr char hex[] = "0123456789ABCDEF";
    const bool keep_unreserved = unreserved == Unreserved::keep;
    const std::string bytes =
        encode == EncodeBytes::utf8 ? utf8_from_gbk(text) : std::string(up_to_zero(text));
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        bool is_unreserved = b == '-' || b == '.' || (b >= '0' && b <= '9') ||
                             (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        if (keep_unreserved && is_unreserved) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(hex[b >> 4]);
            out.push_back(hex[b & 0x0F]);
        }
    }
    return out;
}

Bytes wide_from_multibyte(std::string_view text, int code_page, SourceCodePage source) {
    text = up_to_zero(text);
    if (text.empty()) {
        return {};
    }
    std::u16string wide = platform::utf16_from_code_page(
        text, source == SourceCodePage::given ? code_page : platform::code_page_utf8);
    Bytes out;
    out.reserve((wide.size() + 1) * 2);
    for (char16_t unit : wide) {
        out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        out.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

std::string multibyte_from_wide(const Bytes& wide, int code_page, TargetCodePage target) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
        auto unit = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        units.push_back(unit);
    }
    std::string text = platform::code_page_from_utf16(
        units, target == TargetCodePage::given ? code_page : platform::code_page_ansi);
    return std::string(up_to_zero(text));
}

}  // namespace quorvel::data
