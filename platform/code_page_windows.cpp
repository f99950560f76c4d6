// Code-page conversion through MultiByteToWideChar and WideCharToMultiByte.
// The system converts runs of well-formed characters; what the rules in
// code_page.h settle themselves (the euro sign, bad bytes) is done here, so
// that the result does not depend on how a Windows version treats them.

#include <windows.h>

#include <climits>

#include "platform/code_page.h"
#include "platform/code_page_detail.h"

namespace quorvel::platform {
namespace {

constexpr UINT gb18030_code_page = 54936;

UINT gb_code_page() {
    static const UINT code_page = IsValidCodePage(gb18030_code_page) != 0 ? gb18030_code_page : 936;
    return code_page;
}

bool is_gb(int code_page) {
    return code_page != code_page_utf8;
}

// The length of the character starting at `at` by GB18030's byte structure
// (one byte below 0x80; a lead 81-FE with a trail 40-7E or 80-FE; or lead,
// 30-39, 81-FE, 30-39); 0 when none starts there.
std::size_t gb_unit(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    if (lead == 0x80 || lead == 0xFF || at + 1 >= text.size()) {
        return 0;
    }
    const unsigned second = byte(1);
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) {
        return 2;
    }
    if (second >= 0x30 && second <= 0x39 && at + 3 < text.size() && byte(2) >= 0x81 &&
        byte(2) <= 0xFE && byte(3) >= 0x30 && byte(3) <= 0x39) {
        return 4;
    }
    return 0;
}

// The length of the well-formed UTF-8 character starting at `at`; 0 when none does.
std::size_t utf8_unit(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead < 0x80) {
        length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    }
    if (length == 0 || text.size() - at < length) {
        return 0;
    }
    return valid_utf8(text.substr(at, length)) ? length : 0;
}

bool is_gb_euro(std::string_view text, std::size_t at, std::size_t length) {
    return length == 2 && static_cast<unsigned char>(text[at]) == 0xA2 &&
           static_cast<unsigned char>(text[at + 1]) == 0xE3;
}

// Appends the system's reading of `bytes`; false, appending nothing, when
// they hold a sequence the code page does not map.
bool system_decode(UINT code_page, std::string_view bytes, std::u16string& out) {
    if (bytes.empty()) {
        return true;
    }
    if (bytes.size() > INT_MAX) {
        return false;
    }
    const int size = static_cast<int>(bytes.size());
    const int n =
        MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
    if (n <= 0) {
        return false;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size,
                        reinterpret_cast<wchar_t*>(out.data() + at), n);
    return true;
}

class Decoder {
  public:
    explicit Decoder(int code_page)
        : gb_(is_gb(code_page)), system_(gb_ ? gb_code_page() : CP_UTF8) {}

    // Runs of well-formed characters go to the system whole; a run it
    // refuses is read again one character at a time.
    std::u16string decode(std::string_view text) const {
        std::u16string out;
        out.reserve(text.size());
        std::size_t run = 0;
        std::size_t at = 0;
        while (at < text.size()) {
            const std::size_t length = unit(text, at);
            if (length != 0 && !(gb_ && is_gb_euro(text, at, length))) {
                at += length;
                continue;
            }
            decode_run(text.substr(run, at - run), out);
            at = step(text, at, out);
            run = at;
        }
        decode_run(text.substr(run), out);
        return out;
    }

  private:
    std::size_t unit(std::string_view text, std::size_t at) const {
        return gb_ ? gb_unit(text, at) : utf8_unit(text, at);
    }

    void decode_run(std::string_view run, std::u16string& out) const {
        if (system_decode(system_, run, out)) {
            return;
        }
        std::size_t at = 0;
        while (at < run.size()) {
            at = step(run, at, out);
        }
    }

    // Reads the one character at `at` and returns where the next starts: the
    // euro sign's two forms in GB text, else the system's reading, else
    // U+FFFD for the one byte, as iconv skips it.
    std::size_t step(std::string_view text, std::size_t at, std::u16string& out) const {
        const std::size_t length = unit(text, at);
        if (gb_ && is_gb_euro(text, at, length)) {
            out.push_back(u'\u20AC');
            return at + 2;
        }
        if (length != 0 && system_decode(system_, text.substr(at, length), out)) {
            return at + length;
        }
        const bool euro = gb_ && static_cast<unsigned char>(text[at]) == 0x80;
        out.push_back(euro ? u'\u20AC' : u'\uFFFD');
        return at + 1;
    }

    bool gb_;
    UINT system_;
};

void system_encode(UINT code_page, std::u16string_view text, std::string& out) {
    if (text.empty() || text.size() > INT_MAX / 4) {
        return;
    }
    // Code page 936 would otherwise write a look-alike for what it lacks;
    // 54936 and UTF-8 take no flags.
    const DWORD flags = code_page == 936 ? WC_NO_BEST_FIT_CHARS : 0;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(code_page, flags, wide, size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(n));
    WideCharToMultiByte(code_page, flags, wide, size, out.data() + at, n, nullptr, nullptr);
}

// `text` has no unpaired surrogate. In GB text the euro sign is written as
// A2 E3 here, whatever the system's code page would write.
std::string encode(std::u16string_view text, int code_page) {
    std::string out;
    out.reserve(text.size() * 2);
    if (!is_gb(code_page)) {
        system_encode(CP_UTF8, text, out);
        return out;
    }
    const UINT system = gb_code_page();
    std::size_t run = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == u'\u20AC') {
            system_encode(system, text.substr(run, at - run), out);
            out += "\xA2\xE3";
            run = at + 1;
        }
    }
    system_encode(system, text.substr(run), out);
    return out;
}

}  // namespace

bool gb18030_available() {
    return gb_code_page() == gb18030_code_page;
}

std::u16string utf16_from_code_page(std::string_view text, int code_page) {
    if (!code_page_supported(code_page)) {
        return {};
    }
    if (all_ascii(text)) {
        return std::u16string(text.begin(), text.end());
    }
    return Decoder(code_page).decode(text);
}

std::string code_page_from_utf16(std::u16string_view text, int code_page) {
    if (!code_page_supported(code_page)) {
        return {};
    }
    const std::u16string clean = paired_surrogates_only(text);
    bool ascii = true;
    for (char16_t c : clean) {
        ascii = ascii && c < 0x80;
    }
    if (ascii) {
        return std::string(clean.begin(), clean.end());
    }
    return encode(clean, code_page);
}

void convert_code_page(std::string_view text, int from_code_page, int to_code_page,
                       std::string& out) {
    out.clear();
    if (!code_page_supported(from_code_page) || !code_page_supported(to_code_page)) {
        return;
    }
    if (all_ascii(text)) {
        out.assign(text);
        return;
    }
    // Decoding yields no unpaired surrogate, so the text goes straight on.
    out = encode(Decoder(from_code_page).decode(text), to_code_page);
}

std::string convert_code_page(std::string_view text, int from_code_page, int to_code_page) {
    std::string out;
    convert_code_page(text, from_code_page, to_code_page, out);
    return out;
}

}  // namespace quorvel::platform
