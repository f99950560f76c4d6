#pragma once
// Conversion between multibyte code-page text and UTF-16, over iconv on Linux
// and MultiByteToWideChar/WideCharToMultiByte on Windows. Code
// page 936 and 0 (the program's ANSI code page, Chinese whatever the machine's
// locale) are served by GB18030, which also holds every other Unicode
// character; 65001 is UTF-8. GB18030 reads most of code page 936 the same way
// but is not it byte for byte: Windows code page 936 has the euro sign as the
// single byte 0x80, a byte GB18030 does not accept, and GB18030 gives
// characters to some double-byte codes that code page 936 leaves unassigned
// (A2 E3, its euro sign, among them). Reading, a lone 0x80 becomes U+20AC, so
// text from a Windows source keeps its euro sign; writing, U+20AC becomes
// A2 E3. Undecodable input never fails a conversion: each other bad byte
// becomes U+FFFD.
//
// On Windows, GB18030 is code page 54936. Where the system lacks it (Wine 8
// has none), code pages 936 and 0 fall back to code page 936 itself, with the
// same euro rules: characters code page 936 lacks are then read as U+FFFD and
// written as "?", and a replacement character is written as "?".

#include <string>
#include <string_view>

namespace quorvel::platform {

inline constexpr int code_page_ansi = 0;
inline constexpr int code_page_gbk = 936;
inline constexpr int code_page_utf8 = 65001;

// Whether every byte is below 0x80: such text reads the same in every code page here.
bool all_ascii(std::string_view text);

// Whether `text` is well-formed UTF-8: no stray or missing continuation bytes,
// no overlong forms, no surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view text);

// Whether code pages 936 and 0 are served by GB18030 here: always with iconv;
// on Windows, where the system has code page 54936.
bool gb18030_available();

// Whether a code page number is one of the three above.
bool code_page_supported(int code_page);

// The whole of `text` (zero bytes included) as UTF-16; empty for an
// unsupported code page.
std::u16string utf16_from_code_page(std::string_view text, int code_page);

// The whole of `text` in the code page; unpaired surrogates become U+FFFD.
// Empty for an unsupported code page.
std::string code_page_from_utf16(std::u16string_view text, int code_page);

// Direct conversion between two code pages, with the same rules.
std::string convert_code_page(std::string_view text, int from_code_page, int to_code_page);

// The same into `out`, whose storage is reused: for hot paths that convert
// many texts one after another.
void convert_code_page(std::string_view text, int from_code_page, int to_code_page,
                       std::string& out);

}  // namespace quorvel::platform
