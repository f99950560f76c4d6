#pragma once
// The operations through which the harvest, the export and the main window
// reach windows and controls. Controls are addressed by their object names
// (UTF-8 identifiers such as "选择框1"); every other text crossing this
// interface is code-page text, converted by the implementation.

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::platform {

// Results of show_message.
enum class MessageResult : int {
    ok = 0,
    cancel = 1,
    abort = 2,
    retry = 3,
    ignore = 4,
    yes = 5,
    no = 6
};

// The buttons a message box offers.
enum class MessageButtons : int {
    ok = 0,
    ok_cancel = 1,
    abort_retry_ignore = 2,
    yes_no_cancel = 3,
    yes_no = 4,
    retry_cancel = 5
};

// Whose input a message box blocks while it is shown.
enum class MessageModality {
    task,    // the program's windows
    system,  // the whole program, ahead of every other window
};

struct MessageStyle {
    MessageButtons buttons = MessageButtons::ok;
    MessageModality modality = MessageModality::task;
    bool operator==(const MessageStyle&) const = default;
};

// The caption a message box gets when none is given: "信息：" in code-page text.
inline constexpr std::string_view default_message_caption = "\xD0\xC5\xCF\xA2\xA3\xBA";

// Lines of an edit box's text: its line feeds, plus one for an unterminated
// last line; empty text has none.
inline int count_text_lines(std::string_view text) {
    const auto feeds = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    return feeds + ((!text.empty() && text.back() != '\n') ? 1 : 0);
}

class WindowOperations {
  public:
    virtual ~WindowOperations() = default;

    // The ticked state of a check box at the moment of the call.
    virtual bool read_checked(std::string_view control) = 0;
    // The whole content of an edit box, lines separated by CR LF.
    virtual std::string read_text(std::string_view control) = 0;
    // The number of lines an edit box holds, as count_text_lines counts them
    // in its text. Implementations may answer without copying the text.
    virtual int line_count(std::string_view control) {
        return count_text_lines(read_text(control));
    }
    // Replaces the content of an edit box.
    virtual void set_text(std::string_view control, std::string_view text) = 0;
    // Moves the caret to the end of an edit box, scrolls it into view and
    // inserts the text there.
    virtual void append_text(std::string_view control, std::string_view text) = 0;
    // A modal message box; returns the button that dismissed it.
    virtual MessageResult show_message(std::string_view text, MessageStyle style,
                                       std::string_view caption) = 0;
    MessageResult show_message(std::string_view text, MessageStyle style = {}) {
        return show_message(text, style, default_message_caption);
    }
    // Whether keyboard or mouse input waits to be processed.
    virtual bool input_pending() = 0;
    // Dispatches every queued window message, then returns.
    virtual void pump_messages() = 0;
    // The save-file dialog: the chosen path, or nothing when cancelled. The
    // dialog presents the name it was last closed with.
    virtual std::optional<std::string> show_save_dialog(std::string_view dialog,
                                                        std::string_view filter,
                                                        std::string_view default_extension,
                                                        std::string_view title) = 0;
    // The desktop's "open" action on a link or document; the result is not examined.
    virtual void open_with_shell(std::string_view target) = 0;
    // Shows a secondary window without a parent and returns at once.
    virtual void show_window(std::string_view window) = 0;
    // Makes a browser control load a page.
    virtual void navigate(std::string_view browser, std::string_view address) = 0;
};

}  // namespace quorvel::platform
