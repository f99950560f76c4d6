#pragma once
// A Windows program's arguments as UTF-8, read from its wide command line.

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#include <vector>

#include "win32/wide_text.h"

namespace quorvel::testsupport {

inline std::vector<std::string> utf8_arguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(win32::utf8_from_wide(wide[i]));
    }
    LocalFree(wide);
    return args;
}

}  // namespace quorvel::testsupport
