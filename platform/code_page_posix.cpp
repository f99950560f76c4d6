// Code-page conversion over iconv.

#include "platform/code_page.h"
#include "platform/code_page_detail.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

namespace quorvel::platform {
namespace {

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

}  // namespace

bool gb18030_available() {
    return true;
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
