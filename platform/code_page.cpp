#include "platform/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace quorvel::platform {
namespace {

const char* iconv_name(int code_page) {
    switch (code_page) {
        case code_page_ansi:
        case code_page_gbk:
            return "GB18030";
        case code_page_utf8:
            return "UTF-8";
        default:
            return nullptr;
    }
}

// One conversion descriptor per direction and thread, opened on first use:
// opening one costs far more than a short conversion.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; on an undecodable or incomplete sequence, writes
    // `replacement` and skips one input byte, except that a lone byte 0x80
    // becomes `euro` when that is given. False when the descriptor is unusable.
    bool run(std::string_view in, std::string_view replacement, std::string_view euro,
             std::string& out) {
        if (!ok()) {
            return false;
        }
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        // Convert straight into `out`, growing it when it runs out of room.
        out.resize(in.size() * 2 + 16);
        std::size_t used = 0;
        char* src = const_cast<char*>(in.data());
        std::size_t src_left = in.size();
        while (true) {
            if (out.size() - used < 16) {
                out.resize(out.size() * 2);
            }
            char* dst = out.data() + used;
            std::size_t dst_left = out.size() - used;
            std::size_t rc = iconv(cd_, src_left > 0 ? &src : nullptr, &src_left, &dst, &dst_left);
            int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
            used = out.size() - dst_left;
            if (error == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            if (error == EILSEQ || error == EINVAL) {
                const std::string_view written =
                    !euro.empty() && static_cast<unsigned char>(*src) == 0x80 ? euro : replacement;
                out.replace(used, written.size(), written);
                used += written.size();
                ++src;
                --src_left;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            if (error != 0) {
                out.clear();
                return false;
            }
            if (src_left == 0) {
                out.resize(used);
                return true;
            }
        }
    }

  private:
    iconv_t cd_;
};

enum class Encoding : std::size_t { gb18030, utf8, utf16le, count };

Encoding encoding_of(int code_page) {
    return code_page == code_page_utf8 ? Encoding::utf8 : Encoding::gb18030;
}

const char* encoding_name(Encoding e) {
    switch (e) {
        case Encoding::gb18030:
            return "GB18030";
        case Encoding::utf8:
            return "UTF-8";
        default:
            return "UTF-16LE";
    }
}

// U+FFFD in each encoding.
std::string_view replacement_in(Encoding e) {
    switch (e) {
        case Encoding::gb18030:
            return "\x84\x31\xA4\x37";
        case Encoding::utf8:
            return "\xEF\xBF\xBD";
        default:
            return std::string_view("\xFD\xFF", 2);
    }
}

// U+20AC in each encoding.
std::string_view euro_in(Encoding e) {
    switch (e) {
        case Encoding::gb18030:
            return "\xA2\xE3";
        case Encoding::utf8:
            return "\xE2\x82\xAC";
        default:
            return "\xAC\x20";
    }
}

Converter& converter(Encoding from, Encoding to) {
    constexpr auto n = static_cast<std::size_t>(Encoding::count);
    thread_local std::array<std::unique_ptr<Converter>, n * n> table;
    auto& slot = table[static_cast<std::size_t>(from) * n + static_cast<std::size_t>(to)];
    if (!slot) {
        slot = std::make_unique<Converter>(encoding_name(to), encoding_name(from));
    }
    return *slot;
}

void convert_into(std::string_view in, Encoding from, Encoding to, std::string& out) {
    // Windows code page 936 reads a lone 0x80 as the euro sign; GB18030 has no
    // such byte, so its decoder reports it and it is read here.
    const std::string_view euro = from == Encoding::gb18030 ? euro_in(to) : std::string_view();
    if (!converter(from, to).run(in, replacement_in(to), euro, out)) {
        out.clear();
    }
}

std::string convert(std::string_view in, Encoding from, Encoding to) {
    std::string out;
    convert_into(in, from, to, out);
    return out;
}

// UTF-16 with every unpaired surrogate replaced by U+FFFD, so that the
// conversion out of it cannot stop half-way.
std::u16string paired_surrogates_only(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool high = c >= 0xD800 && c <= 0xDBFF;
        bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back(c);
            out.push_back(text[++i]);
        } else if (high || low) {
            out.push_back(u'\uFFFD');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

bool all_ascii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool valid_utf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;  // bounds of the first continuation byte
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
            high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
            high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool code_page_supported(int code_page) {
    return iconv_name(code_page) != nullptr;
}

std::u16string utf16_from_code_page(std::string_view text, int code_page) {
    std::u16string out;
    if (!code_page_supported(code_page)) {
        return out;
    }
    if (all_ascii(text)) {
        out.assign(text.begin(), text.end());
        return out;
    }
    std::string bytes = convert(text, encoding_of(code_page), Encoding::utf16le);
    out.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

std::string code_page_from_utf16(std::u16string_view text, int code_page) {
    if (!code_page_supported(code_page)) {
        return {};
    }
    std::u16string clean = paired_surrogates_only(text);
    std::string bytes;
    bytes.reserve(clean.size() * 2);
    bool ascii = true;
    for (char16_t c : clean) {
        ascii = ascii && c < 0x80;
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    if (ascii) {
        return std::string(clean.begin(), clean.end());
    }
    return convert(bytes, Encoding::utf16le, encoding_of(code_page));
}

void convert_code_page(std::string_view text, int from_code_page, int to_code_page,
                       std::string& out) {
    out.clear();
    if (!code_page_supported(from_code_page) || !code_page_supported(to_code_page)) {
        return;
    }
    Encoding from = encoding_of(from_code_page);
    Encoding to = encoding_of(to_code_page);
    if (all_ascii(text)) {
        out.assign(text);
    } else if (from == to) {
        // Still decode and encode, so that bad input comes out as U+FFFD.
        convert_into(convert(text, from, Encoding::utf16le), Encoding::utf16le, to, out);
    } else {
        convert_into(text, from, to, out);
    }
}

std::string convert_code_page(std::string_view text, int from_code_page, int to_code_page) {
    std::string out;
    convert_code_page(text, from_code_page, to_code_page, out);
    return out;
}

}  // namespace quorvel::platform
