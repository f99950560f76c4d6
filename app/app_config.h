#pragma once
// The program's fixed texts and addresses, as the Qt window uses them; the
// values are the shell's, shared with the Windows window.

#include <QString>
#include <string>

#include "shell/control_table.h"

namespace quorvel::app {

// The contact number shown in the caption (a NUL-terminated literal).
inline constexpr const char* contact_number = shell::contact_number.data();

// Product name, version text, contact number, 11 spaces and 55 hyphens.
inline QString main_window_caption() {
    const std::string caption = shell::main_window_caption();
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

}  // namespace quorvel::app
