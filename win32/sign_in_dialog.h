#pragma once
// The dialog "登录淘宝": the marketplace session brought from the user's own
// browser, as a pasted Cookie request header or an exported cookies.txt. What
// is taken replaces the session file and, at once, the transport's session.

#include <windows.h>

#include <filesystem>

namespace quorvel::win32 {

// The dialog's control IDs: the box for the pasted header, "打开淘宝登录页"
// and the button that chooses a cookie file; OK and Cancel are IDOK and
// IDCANCEL.
inline constexpr int sign_in_text_id = 200;
inline constexpr int sign_in_page_id = 201;
inline constexpr int sign_in_file_id = 202;

// The dialog, modal to `owner`, keeping what it takes in `file`: true when a
// session was taken. A refusal says why and leaves the dialog open.
bool sign_in(HWND owner, const std::filesystem::path& file);

}  // namespace quorvel::win32
