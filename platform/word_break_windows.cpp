#include <windows.h>

#include "platform/word_break.h"

// icu.dll, which Windows 10 1903 and later carry in System32, exports ICU's C
// functions without a version suffix. No ICU headers exist for this build,
// so the few functions used are declared here as the library defines them.
namespace quorvel::platform {
namespace {

using UBreakIterator = void;
using UErrorCode = int;
constexpr int ubrk_word = 1;                   // UBRK_WORD
constexpr std::int32_t ubrk_done = -1;         // UBRK_DONE
constexpr std::int32_t word_none_limit = 100;  // UBRK_WORD_NONE_LIMIT

using Open = UBreakIterator* (*)(int, const char*, const char16_t*, std::int32_t, UErrorCode*);
using SetText = void (*)(UBreakIterator*, const char16_t*, std::int32_t, UErrorCode*);
using Step = std::int32_t (*)(UBreakIterator*);
using Close = void (*)(UBreakIterator*);

struct IcuFunctions {
    Open open = nullptr;
    SetText set_text = nullptr;
    Step first = nullptr;
    Step next = nullptr;
    Step rule_status = nullptr;
    Close close = nullptr;
};

template <typename F>
bool find(HMODULE library, const char* name, F& function) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return function != nullptr;
}

// The functions of the system's icu.dll, looked up once; or why not.
const tl::expected<IcuFunctions, std::string>& icu() {
    static const tl::expected<IcuFunctions, std::string> functions =
        []() -> tl::expected<IcuFunctions, std::string> {
        HMODULE library = LoadLibraryExW(L"icu.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (library == nullptr) {
            return tl::unexpected(
                std::string("系统没有 ICU 分词组件 icu.dll（Windows 10 1903 及以后的版本自带）"));
        }
        IcuFunctions f;
        if (!find(library, "ubrk_open", f.open) || !find(library, "ubrk_setText", f.set_text) ||
            !find(library, "ubrk_first", f.first) || !find(library, "ubrk_next", f.next) ||
            !find(library, "ubrk_getRuleStatus", f.rule_status) ||
            !find(library, "ubrk_close", f.close)) {
            return tl::unexpected(std::string("系统的 icu.dll 缺少分词函数"));
        }
        return f;
    }();
    return functions;
}

class SystemWordBreaker final : public WordBreaker {
  public:
    SystemWordBreaker(const IcuFunctions& f, UBreakIterator* iterator)
        : f_(f), iterator_(iterator) {}
    ~SystemWordBreaker() override { f_.close(iterator_); }
    SystemWordBreaker(const SystemWordBreaker&) = delete;
    SystemWordBreaker& operator=(const SystemWordBreaker&) = delete;

    void words(std::u16string_view text,
               const std::function<void(std::size_t, std::size_t)>& piece) override {
        UErrorCode status = 0;
        f_.set_text(iterator_, text.data(), static_cast<std::int32_t>(text.size()), &status);
        if (status > 0) {
            return;
        }
        std::int32_t begin = f_.first(iterator_);
        for (std::int32_t end = f_.next(iterator_); end != ubrk_done;
             begin = end, end = f_.next(iterator_)) {
            if (f_.rule_status(iterator_) >= word_none_limit) {
                piece(static_cast<std::size_t>(begin), static_cast<std::size_t>(end));
            }
        }
    }

  private:
    const IcuFunctions& f_;
    UBreakIterator* iterator_;
};

}  // namespace

tl::expected<std::unique_ptr<WordBreaker>, std::string> WordBreaker::open() {
    const auto& functions = icu();
    if (!functions) {
        return tl::unexpected(functions.error());
    }
    UErrorCode status = 0;
    UBreakIterator* iterator = functions->open(ubrk_word, "zh", nullptr, 0, &status);
    if (status > 0 || iterator == nullptr) {
        return tl::unexpected("ICU 无法分词：错误 " + std::to_string(status));
    }
    return std::make_unique<SystemWordBreaker>(*functions, iterator);
}

}  // namespace quorvel::platform
