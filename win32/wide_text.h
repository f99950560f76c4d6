#pragma once
// Text at the Win32 boundary: the W APIs take UTF-16, the control table is
// UTF-8 and the core's text is code-page (GB18030) bytes.

#include <string>
#include <string_view>

namespace quorvel::win32 {

std::wstring wide_from_utf8(std::string_view text);
std::wstring wide_from_code_page(std::string_view text);
std::string code_page_from_wide(std::wstring_view text);
std::string utf8_from_wide(std::wstring_view text);
std::wstring wide_from_u16(std::u16string_view text);
std::u16string u16_from_wide(std::wstring_view text);

}  // namespace quorvel::win32
