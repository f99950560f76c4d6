#pragma once
// Text as the core holds it (code-page bytes) from the UTF-8 a test writes,
// and back.

#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace quorvel::testsupport {

inline std::string gb(std::string_view utf8) {
    return platform::convert_code_page(utf8, platform::code_page_utf8, platform::code_page_gbk);
}
inline std::string gb(std::u8string_view utf8) {
    return gb(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

inline std::string utf8(std::string_view code_page) {
    return platform::convert_code_page(code_page, platform::code_page_gbk,
                                       platform::code_page_utf8);
}

}  // namespace quorvel::testsupport
