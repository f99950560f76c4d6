#pragma once
// Byte arrays: length-counted byte sequences that may hold zero bytes (reply
// bodies, request bodies). Text is std::string holding code-page bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

using Bytes = std::vector<std::uint8_t>;

// The bytes of a text, without any terminating zero.
inline Bytes bytes_from_text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A byte array taken as text keeps the bytes up to the first zero byte.
inline std::string text_from_bytes(const Bytes& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) {
        if (b == 0) {
            break;
        }
        text.push_back(static_cast<char>(b));
    }
    return text;
}

}  // namespace quorvel
