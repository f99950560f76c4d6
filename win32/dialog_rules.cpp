#include "win32/dialog_rules.h"

#include <vector>

namespace quorvel::win32 {
namespace {

namespace v = windows_values;
using platform::MessageButtons;
using platform::MessageResult;

bool is_pattern(std::u16string_view part) {
    return !part.empty() && part.front() == u'*';
}

// The pattern a description names in its last parentheses: "(*.xlsx)" and
// "(.csv)" give "*.xlsx" and "*.csv".
std::u16string pattern_in(std::u16string_view description) {
    const std::size_t close = description.rfind(u')');
    const std::size_t open =
        close == std::u16string_view::npos ? close : description.rfind(u'(', close);
    if (open == std::u16string_view::npos || close != description.size() - 1) {
        return u"*.*";
    }
    std::u16string_view inside = description.substr(open + 1, close - open - 1);
    if (inside.starts_with(u"*.")) {
        return std::u16string(inside);
    }
    if (inside.size() > 1 && inside.front() == u'.') {
        std::u16string pattern(1, u'*');
        pattern += inside;  // appended: GCC 12 misreads "*" + text as an overlapping copy
        return pattern;
    }
    return u"*.*";
}

struct Answer {
    int id;
    MessageResult result;
};

std::vector<Answer> answers_of(MessageButtons buttons) {
    using R = MessageResult;
    switch (buttons) {
        case MessageButtons::ok_cancel:
            return {{v::id_ok, R::ok}, {v::id_cancel, R::cancel}};
        case MessageButtons::abort_retry_ignore:
            return {{v::id_abort, R::abort}, {v::id_retry, R::retry}, {v::id_ignore, R::ignore}};
        case MessageButtons::yes_no_cancel:
            return {{v::id_yes, R::yes}, {v::id_no, R::no}, {v::id_cancel, R::cancel}};
        case MessageButtons::yes_no:
            return {{v::id_yes, R::yes}, {v::id_no, R::no}};
        case MessageButtons::retry_cancel:
            return {{v::id_retry, R::retry}, {v::id_cancel, R::cancel}};
        case MessageButtons::ok:
            break;
    }
    return {{v::id_ok, R::ok}};
}

}  // namespace

std::u16string file_dialog_filter(std::u16string_view filter) {
    std::vector<std::u16string_view> parts;
    while (!filter.empty()) {
        const std::size_t bar = filter.find(u'|');
        parts.push_back(filter.substr(0, bar));
        if (bar == std::u16string_view::npos) {
            break;
        }
        filter.remove_prefix(bar + 1);
    }
    std::u16string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::u16string_view description = parts[i];
        if (description.empty() && i + 1 == parts.size()) {
            break;  // a trailing "|"
        }
        out += description;
        out += u'\0';
        if (i + 1 < parts.size() && is_pattern(parts[i + 1])) {
            out += parts[++i];
        } else {
            out += pattern_in(description);
        }
        out += u'\0';
    }
    if (!out.empty()) {
        out += u'\0';
    }
    return out;
}

unsigned message_box_flags(platform::MessageStyle style) {
    // The button sets are numbered as MB_OK .. MB_RETRYCANCEL.
    const auto buttons = static_cast<unsigned>(style.buttons);
    return buttons | (style.modality == platform::MessageModality::system ? v::mb_system_modal
                                                                          : v::mb_task_modal);
}

platform::MessageResult message_result(int command_id, platform::MessageButtons buttons) {
    const std::vector<Answer> answers = answers_of(buttons);
    for (const Answer& answer : answers) {
        if (answer.id == command_id) {
            return answer.result;
        }
    }
    return answers.back().result;
}

std::optional<unsigned> task_dialog_buttons(platform::MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::ok:
            return v::tdcbf_ok;
        case MessageButtons::ok_cancel:
            return v::tdcbf_ok | v::tdcbf_cancel;
        case MessageButtons::yes_no_cancel:
            return v::tdcbf_yes | v::tdcbf_no | v::tdcbf_cancel;
        case MessageButtons::yes_no:
            return v::tdcbf_yes | v::tdcbf_no;
        case MessageButtons::retry_cancel:
            return v::tdcbf_retry | v::tdcbf_cancel;
        case MessageButtons::abort_retry_ignore:
            break;
    }
    return std::nullopt;
}

}  // namespace quorvel::win32
