#pragma once
// Cutting text into words with ICU's word break iterator, which carries a
// dictionary for Chinese: Debian's libicu on Linux, the system's icu.dll
// (Windows 10 1903 and later) loaded when first asked for on Windows.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

namespace quorvel::platform {

class WordBreaker {
  public:
    // The system's word breaker for Chinese text, or why there is none (UTF-8).
    static tl::expected<std::unique_ptr<WordBreaker>, std::string> open();
    virtual ~WordBreaker() = default;

    // Calls `piece` for each word of `text` in order, with its place in
    // `text` (UTF-16 units); punctuation and white space are not words.
    virtual void words(std::u16string_view text,
                       const std::function<void(std::size_t begin, std::size_t end)>& piece) = 0;
};

}  // namespace quorvel::platform
