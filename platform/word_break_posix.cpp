#include <unicode/ubrk.h>
#include <unicode/utypes.h>

#include "platform/word_break.h"

namespace quorvel::platform {
namespace {

class IcuWordBreaker final : public WordBreaker {
  public:
    explicit IcuWordBreaker(UBreakIterator* iterator) : iterator_(iterator) {}
    ~IcuWordBreaker() override { ubrk_close(iterator_); }
    IcuWordBreaker(const IcuWordBreaker&) = delete;
    IcuWordBreaker& operator=(const IcuWordBreaker&) = delete;

    void words(std::u16string_view text,
               const std::function<void(std::size_t, std::size_t)>& piece) override {
        UErrorCode status = U_ZERO_ERROR;
        ubrk_setText(iterator_, text.data(), static_cast<int32_t>(text.size()), &status);
        if (U_FAILURE(status)) {
            return;
        }
        int32_t begin = ubrk_first(iterator_);
        for (int32_t end = ubrk_next(iterator_); end != UBRK_DONE;
             begin = end, end = ubrk_next(iterator_)) {
            // Spaces and punctuation have the rule status of no word.
            if (ubrk_getRuleStatus(iterator_) >= UBRK_WORD_NONE_LIMIT) {
                piece(static_cast<std::size_t>(begin), static_cast<std::size_t>(end));
            }
        }
    }

  private:
    UBreakIterator* iterator_;
};

}  // namespace

tl::expected<std::unique_ptr<WordBreaker>, std::string> WordBreaker::open() {
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* iterator = ubrk_open(UBRK_WORD, "zh", nullptr, 0, &status);
    if (U_FAILURE(status) || iterator == nullptr) {
        return tl::unexpected(std::string("ICU 无法分词：") + u_errorName(status));
    }
    return std::make_unique<IcuWordBreaker>(iterator);
}

}  // namespace quorvel::platform
