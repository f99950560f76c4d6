#pragma once
// Bridges between the program's code-page text and the UTF-8 the marketplace
// speaks: whole-text conversion and the percent-encoding of query words.

#include <string>
#include <string_view>

#include "platform/bytes.h"

namespace quorvel::data {

// Code-page text (up to its first zero byte) as UTF-8.
std::string utf8_from_gbk(std::string_view text);

// UTF-8 text (up to its first zero byte) as code-page text.
std::string gbk_from_utf8(std::string_view text);

// Every byte as "%" and two upper-case hex digits, except that with
// keep_unreserved the bytes "-", ".", digits and ASCII letters stay as they
// are. With to_utf8 the text is first converted to UTF-8.
std::string url_encode(std::string_view text, bool keep_unreserved, bool to_utf8);

// The text (up to its first zero byte) as little-endian UTF-16 bytes with a
// terminating zero unit. The text is read in `code_page` when use_code_page
// is set, as UTF-8 otherwise. An empty text gives an empty array.
Bytes wide_from_multibyte(std::string_view text, int code_page, bool use_code_page);

// Little-endian UTF-16 bytes (up to the first zero unit) as text in
// `code_page` when use_code_page is set, in the ANSI code page otherwise.
std::string multibyte_from_wide(const Bytes& wide, int code_page, bool use_code_page);

}  // namespace quorvel::data
