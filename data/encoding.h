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

// Whether url_encode leaves the unreserved bytes "-", ".", digits and ASCII
// letters as they are.
enum class Unreserved { encode, keep };

// Which bytes url_encode encodes: the code-page text's own, or its UTF-8.
enum class EncodeBytes { as_given, utf8 };

// Every byte as "%" and two upper-case hex digits, except the unreserved ones
// with Unreserved::keep.
std::string url_encode(std::string_view text, Unreserved unreserved, EncodeBytes bytes);

// The code page a multibyte text is read in: the one given, or UTF-8.
enum class SourceCodePage { given, utf8 };

// The code page a multibyte text is written in: the one given, or ANSI.
enum class TargetCodePage { given, ansi };

// The text (up to its first zero byte) as little-endian UTF-16 bytes with a
// terminating zero unit. An empty text gives an empty array.
Bytes wide_from_multibyte(std::string_view text, int code_page, SourceCodePage source);

// Little-endian UTF-16 bytes (up to the first zero unit) as multibyte text.
std::string multibyte_from_wide(const Bytes& wide, int code_page, TargetCodePage target);

}  // namespace quorvel::data
