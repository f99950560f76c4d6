#include "tests/support/recording_window.h"

namespace quorvel::testsupport {

bool RecordingWindow::read_checked(std::string_view control) {
    if (on_read_checked) {
        on_read_checked(control);
    }
    auto it = checked.find(control);
    return it != checked.end() && it->second;
}

std::string RecordingWindow::read_text(std::string_view control) {
    auto it = texts.find(control);
    return it == texts.end() ? std::string() : it->second;
}

void RecordingWindow::set_text(std::string_view control, std::string_view text) {
    texts[std::string(control)] = std::string(text);
    events.push_back("set " + std::string(control) + " " + std::string(text));
}

void RecordingWindow::append_text(std::string_view control, std::string_view text) {
    texts[std::string(control)] += text;
    events.push_back("append " + std::string(control) + " " + std::string(text));
}

platform::MessageResult RecordingWindow::show_message(std::string_view text,
                                                      platform::MessageStyle style,
                                                      std::string_view caption) {
    messages.push_back({std::string(text), style, std::string(caption)});
    events.push_back("message " + std::string(text));
    if (on_message) {
        on_message(text);
    }
    return platform::MessageResult::ok;
}

void RecordingWindow::pump_messages() {
    ++pumps;
    events.push_back("pump");
}

std::optional<std::string> RecordingWindow::show_save_dialog(std::string_view dialog,
                                                             std::string_view filter,
                                                             std::string_view extension,
                                                             std::string_view) {
    events.push_back("save dialog " + std::string(dialog));
    save_filter = filter;
    save_extension = extension;
    return next_save_path;
}

void RecordingWindow::open_with_shell(std::string_view target) {
    events.push_back("open " + std::string(target));
}

void RecordingWindow::show_window(std::string_view window) {
    events.push_back("show " + std::string(window));
}

void RecordingWindow::navigate(std::string_view browser, std::string_view address) {
    events.push_back("navigate " + std::string(browser) + " " + std::string(address));
}

}  // namespace quorvel::testsupport
