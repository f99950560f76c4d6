#pragma once
// A window for tests: check boxes and edit boxes held in memory, every call
// recorded in order, message boxes answered at once.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_operations.h"

namespace quorvel::testsupport {

struct ShownMessage {
    std::string text;
    platform::MessageStyle style;
    std::string caption;
};

class RecordingWindow : public platform::WindowOperations {
  public:
    std::map<std::string, bool, std::less<>> checked;
    std::map<std::string, std::string, std::less<>> texts;
    std::vector<ShownMessage> messages;
    // One entry per call that changes what the user sees:
    // "append CONTROL TEXT", "set CONTROL TEXT", "message TEXT", "pump".
    std::vector<std::string> events;
    bool pending_input = false;
    int pumps = 0;
    // Called on every read of a check box, before it is answered.
    std::function<void(std::string_view control)> on_read_checked;
    // Called while a message box is shown, before it is answered.
    std::function<void(std::string_view text)> on_message;
    std::optional<std::string> next_save_path;
    // The filter and default extension the last save dialog was shown with.
    std::string save_filter, save_extension;

    bool read_checked(std::string_view control) override;
    std::string read_text(std::string_view control) override;
    void set_text(std::string_view control, std::string_view text) override;
    void append_text(std::string_view control, std::string_view text) override;
    using platform::WindowOperations::show_message;
    platform::MessageResult show_message(std::string_view text, platform::MessageStyle style,
                                         std::string_view caption) override;
    bool input_pending() override { return pending_input; }
    void pump_messages() override;
    std::optional<std::string> show_save_dialog(std::string_view dialog, std::string_view filter,
                                                std::string_view default_extension,
                                                std::string_view title) override;
    void open_with_shell(std::string_view target) override;
    void show_window(std::string_view window) override;
    void navigate(std::string_view browser, std::string_view address) override;
};

}  // namespace quorvel::testsupport
