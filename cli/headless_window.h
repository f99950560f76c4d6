#pragma once
// The window operations of the command line, which has no window: the seed
// box holds the seeds given, the check boxes the kinds asked for, and each
// result box keeps only what the harvest asks of it, its number of lines.
// Failure messages are shown by whoever listens to the harvest, so a message
// box here answers at once; there is no dialog, shell or browser.

#include <array>
#include <string>

#include "harvest/keyword_source.h"
#include "platform/window_operations.h"

namespace quorvel::cli {

class HeadlessWindow : public platform::WindowOperations {
  public:
    HeadlessWindow(harvest::KindSet kinds, std::string seed_text)
        : kinds_(kinds), seed_text_(std::move(seed_text)) {}

    bool read_checked(std::string_view control) override;
    // The seed box's text; a result box's text is not kept (empty).
    std::string read_text(std::string_view control) override;
    int line_count(std::string_view control) override;
    void set_text(std::string_view control, std::string_view text) override;
    void append_text(std::string_view control, std::string_view text) override;
    using platform::WindowOperations::show_message;
    platform::MessageResult show_message(std::string_view text, platform::MessageStyle style,
                                         std::string_view caption) override;
    bool input_pending() override { return false; }
    void pump_messages() override {}
    std::optional<std::string> show_save_dialog(std::string_view dialog, std::string_view filter,
                                                std::string_view default_extension,
                                                std::string_view title) override;
    void open_with_shell(std::string_view) override {}
    void show_window(std::string_view) override {}
    void navigate(std::string_view, std::string_view) override {}

  private:
    // What count_text_lines needs of a box's text.
    struct Lines {
        int feeds = 0;
        bool open_line = false;  // the text ends in something other than a line feed
        void add(std::string_view text);
    };
    Lines* box(std::string_view control);

    harvest::KindSet kinds_;
    std::string seed_text_;
    std::array<Lines, 5> boxes_{};
};

}  // namespace quorvel::cli
