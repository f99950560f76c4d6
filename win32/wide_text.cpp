#include "win32/wide_text.h"

#include "platform/code_page.h"

namespace quorvel::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is UTF-16");

std::wstring wide_from_u16(std::u16string_view text) {
    return {text.begin(), text.end()};
}

std::u16string u16_from_wide(std::wstring_view text) {
    return {text.begin(), text.end()};
}

std::wstring wide_from_utf8(std::string_view text) {
    return wide_from_u16(platform::utf16_from_code_page(text, platform::code_page_utf8));
}

std::wstring wide_from_code_page(std::string_view text) {
    return wide_from_u16(platform::utf16_from_code_page(text, platform::code_page_gbk));
}

std::string code_page_from_wide(std::wstring_view text) {
    return platform::code_page_from_utf16(u16_from_wide(text), platform::code_page_gbk);
}

std::string utf8_from_wide(std::wstring_view text) {
    return platform::code_page_from_utf16(u16_from_wide(text), platform::code_page_utf8);
}

}  // namespace quorvel::win32
