#pragma once
// Text as the Win32 edit boxes hold it, apart from the system calls: every
// line break CR LF (an EDIT control shows a lone LF as nothing), and the
// lines a box holds counted as text is appended, so a run counts them
// without asking the window. Written without <windows.h>, so it is tested on
// every system.

#include <string>
#include <string_view>

namespace quorvel::win32 {

// `text` with each line break (CR LF, a lone LF, a lone CR) as CR LF.
std::u16string with_crlf(std::u16string_view text);

// What appending `text` puts into a box whose text so far is with_crlf of
// what was given to it: CR LF throughout. `after_cr`: that text ended in a
// lone CR, already shown as CR LF, so a leading LF belongs to that break.
// Appending each piece this way gives with_crlf of the whole.
std::u16string appended_text(std::u16string_view text, bool after_cr);

// Line breaks of an edit box's text, and whether its last line is
// unterminated: platform::count_text_lines of the box's text (with_crlf of
// what it was given), kept as text arrives, in pieces cut anywhere.
struct LineTally {
    int breaks = 0;
    bool open = false;
    bool after_cr = false;  // the text so far ended in CR
    // As if `text` (any line breaks) were appended.
    void add(std::u16string_view text);
    int lines() const { return breaks + (open ? 1 : 0); }
    bool operator==(const LineTally&) const = default;
};

// The tally of a box from what EM_GETLINECOUNT gives (one more than its line
// breaks; 1 for an empty box) and the length of its last line.
LineTally tally_of_box(int line_count, int last_line_length);

}  // namespace quorvel::win32
