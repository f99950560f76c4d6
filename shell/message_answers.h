#pragma once
// The buttons of each message box button set, as both windows offer them:
// the answers in the order the buttons stand. A box closed without a button
// (Esc, its close box, its owner gone) answers as its last button: Cancel
// where there is one.

#include <span>

#include "platform/window_operations.h"

namespace quorvel::shell {

std::span<const platform::MessageResult> message_answers(platform::MessageButtons buttons);

// The answer of a box closed without a button.
inline platform::MessageResult closed_answer(platform::MessageButtons buttons) {
    return message_answers(buttons).back();
}

}  // namespace quorvel::shell
