#include "shell/message_answers.h"

#include <array>

namespace quorvel::shell {

std::span<const platform::MessageResult> message_answers(platform::MessageButtons buttons) {
    using B = platform::MessageButtons;
    using R = platform::MessageResult;
    static constexpr std::array ok{R::ok};
    static constexpr std::array ok_cancel{R::ok, R::cancel};
    static constexpr std::array abort_retry_ignore{R::abort, R::retry, R::ignore};
    static constexpr std::array yes_no_cancel{R::yes, R::no, R::cancel};
    static constexpr std::array yes_no{R::yes, R::no};
    static constexpr std::array retry_cancel{R::retry, R::cancel};
    switch (buttons) {
        case B::ok_cancel:
            return ok_cancel;
        case B::abort_retry_ignore:
            return abort_retry_ignore;
        case B::yes_no_cancel:
            return yes_no_cancel;
        case B::yes_no:
            return yes_no;
        case B::retry_cancel:
            return retry_cancel;
        case B::ok:
            break;
    }
    return ok;
}

}  // namespace quorvel::shell
