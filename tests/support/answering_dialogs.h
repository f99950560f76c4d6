#pragma once
// Dialogs for window tests and tools: every message box and save dialog is
// answered at once, and what was asked is remembered.

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>

#include "app/dialogs.h"

namespace quorvel::testsupport {

class AnsweringDialogs : public app::Dialogs {
  public:
    struct Message {
        QString text;
        QString caption;
        platform::MessageStyle style;
        QString check;  // the check box's text, if the box had one
    };
    struct SaveDialog {
        QString title, filters, suffix, file_name;
    };

    QList<Message> messages;
    QList<SaveDialog> save_dialogs;
    platform::MessageResult next_answer = platform::MessageResult::ok;  // every box returns it
    std::optional<QString> next_path;  // what every save or open dialog returns
    bool fail_in_message = false;      // a message box throws instead of answering
    bool tick_check = false;           // a box's check box is ticked when answered
    std::function<void()> on_message;  // runs as each box is asked, before its answer

    platform::MessageResult message(QWidget*, const QString& text, const QString& caption,
                                    platform::MessageStyle style, std::stop_token,
                                    app::MessageCheck* check = nullptr) override {
        messages.append({text, caption, style, check != nullptr ? check->text : QString()});
        if (on_message) {
            on_message();
        }
        if (fail_in_message) {
            throw std::runtime_error("the message box broke");
        }
        if (check != nullptr) {
            check->checked = tick_check;
        }
        return next_answer;
    }
    std::optional<QString> save_file(QWidget*, const QString& title, const QString& filters,
                                     const QString& suffix, const QString& file_name,
                                     std::stop_token) override {
        save_dialogs.append({title, filters, suffix, file_name});
        return next_path;
    }
    std::optional<QString> open_file(QWidget*, const QString&, const QString&) override {
        return next_path;
    }
};

}  // namespace quorvel::testsupport
