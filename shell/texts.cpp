#include "shell/texts.h"

#include "platform/code_page.h"

namespace quorvel::shell::texts {

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < values.size()) {
                out += values.begin()[n];
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::string code_page(std::string_view utf8) {
    return platform::convert_code_page(utf8, platform::code_page_utf8, platform::code_page_gbk);
}

std::string_view reason_for(const journal::JournalError& failure) {
    using Kind = journal::JournalError::Kind;
    switch (failure.kind) {
        case Kind::run_in_use:
            return run_in_use;
        case Kind::no_such_run:
            return run_gone;
        case Kind::cannot_open:
        case Kind::newer_version:
        case Kind::storage_failed:
        case Kind::not_resumable:
            break;
    }
    return journal_failed;
}

}  // namespace quorvel::shell::texts
