#include "app/dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <functional>
#include <utility>
#include <vector>

#include "shell/message_answers.h"

namespace quorvel::app {
namespace {

using platform::MessageResult;

// The Qt button that gives an answer.
QMessageBox::StandardButton button_for(MessageResult answer) {
    using B = QMessageBox::StandardButton;
    switch (answer) {
        case MessageResult::ok:
            return B::Ok;
        case MessageResult::cancel:
            return B::Cancel;
        case MessageResult::abort:
            return B::Abort;
        case MessageResult::retry:
            return B::Retry;
        case MessageResult::ignore:
            return B::Ignore;
        case MessageResult::yes:
            return B::Yes;
        case MessageResult::no:
            break;
    }
    return B::No;
}

}  // namespace

// Closes a dialog, from whichever thread asks, once `stop` is requested.
class CloseOnStop {
  public:
    CloseOnStop(QDialog& dialog, const std::stop_token& stop)
        : close_(stop, [&dialog] {
              QMetaObject::invokeMethod(&dialog, "reject", Qt::QueuedConnection);
          }) {}

  private:
    std::stop_callback<std::function<void()>> close_;
};

MessageResult QtDialogs::message(QWidget* parent, const QString& text, const QString& caption,
                                 platform::MessageStyle style, std::stop_token stop,
                                 MessageCheck* check) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    QCheckBox* check_box = nullptr;
    if (check != nullptr) {
        check_box = new QCheckBox(check->text);
        check_box->setObjectName(QStringLiteral("messageCheck"));
        check_box->setChecked(check->checked);
        box.setCheckBox(check_box);  // the box owns it
    }
    // System-modal boxes block the whole program; others their window.
    box.setWindowModality(style.modality == platform::MessageModality::system ? Qt::ApplicationModal
                                                                              : Qt::WindowModal);
    const auto answers = shell::message_answers(style.buttons);
    QMessageBox::StandardButtons set;
    for (MessageResult answer : answers) {
        set |= button_for(answer);
    }
    box.setStandardButtons(set);
    CloseOnStop close(box, stop);
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    if (check != nullptr) {
        check->checked = check_box->isChecked();
    }
    for (MessageResult answer : answers) {
        if (button_for(answer) == clicked) {
            return answer;
        }
    }
    return shell::closed_answer(style.buttons);
}

std::optional<QString> QtDialogs::save_file(QWidget* parent, const QString& title,
                                            const QString& filters, const QString& default_suffix,
                                            const QString& file_name, std::stop_token stop) {
    QFileDialog dialog(parent, title, QString(), filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(default_suffix);
    // A bare name typed by the user takes the extension of the chosen filter.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        const qsizetype star = f.indexOf(QStringLiteral("*."));
        if (star >= 0) {
            QString suffix = f.mid(star + 2);
            suffix.truncate(suffix.indexOf(QRegularExpression(QStringLiteral("[^A-Za-z0-9]"))));
            dialog.setDefaultSuffix(suffix);
        }
    });
    if (!file_name.isEmpty()) {
        dialog.selectFile(file_name);
    }
    CloseOnStop close(dialog, stop);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

std::optional<QString> QtDialogs::open_file(QWidget* parent, const QString& title,
                                            const QString& filters) {
    const QString chosen = QFileDialog::getOpenFileName(parent, title, QString(), filters);
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

}  // namespace quorvel::app
