#pragma once
// Windows only: a system error code (GetLastError, WSAGetLastError) in the
// system's words, for the failure values that name what went wrong.

#include <string>

namespace quorvel::platform {

// The message FormatMessageW gives for `error` (a DWORD), as UTF-8, without
// its trailing period and line break, followed by " (error N)"; "error N"
// alone when the system has no message for it.
std::string windows_error_text(unsigned long error);

// The same for GetLastError() as it is now.
std::string last_windows_error_text();

}  // namespace quorvel::platform
