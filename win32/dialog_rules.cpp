#include "win32/dialog_rules.h"

#include <vector>

#include "shell/message_answers.h"

namespace quorvel::win32 {
namespace {

namespace v = windows_values;
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

// The command ID of the button that gives an answer.
int command_id(MessageResult answer) {
    switch (answer) {
        case MessageResult::ok:
            return v::id_ok;
        case MessageResult::cancel:
            return v::id_cancel;
        case MessageResult::abort:
            return v::id_abort;
        case MessageResult::retry:
            return v::id_retry;
        case MessageResult::ignore:
            return v::id_ignore;
        case MessageResult::yes:
            return v::id_yes;
        case MessageResult::no:
            break;
    }
    return v::id_no;
}

// The task dialog's common button for an answer; none for Abort and Ignore.
std::optional<unsigned> common_button(MessageResult answer) {
    switch (answer) {
        case MessageResult::ok:
            return v::tdcbf_ok;
        case MessageResult::cancel:
            return v::tdcbf_cancel;
        case MessageResult::retry:
            return v::tdcbf_retry;
        case MessageResult::yes:
            return v::tdcbf_yes;
        case MessageResult::no:
            return v::tdcbf_no;
        case MessageResult::abort:
        case MessageResult::ignore:
            break;
    }
    return std::nullopt;
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
    for (MessageResult answer : shell::message_answers(buttons)) {
        if (win32::command_id(answer) == command_id) {
            return answer;
        }
    }
    return shell::closed_answer(buttons);
}

std::optional<unsigned> task_dialog_buttons(platform::MessageButtons buttons) {
    unsigned set = 0;
    for (MessageResult answer : shell::message_answers(buttons)) {
        const std::optional<unsigned> button = common_button(answer);
        if (!button) {
            return std::nullopt;
        }
        set |= *button;
    }
    return set;
}

}  // namespace quorvel::win32
