#include "app/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>
#include <utility>
#include <vector>

namespace quorvel::app {
namespace {

// The buttons of each message-box type, with the result each one gives.
std::vector<std::pair<QMessageBox::StandardButton, int>> buttons_for(int flags) {
    using B = QMessageBox::StandardButton;
    switch (flags & 0x0F) {
        case 1:
            return {{B::Ok, 0}, {B::Cancel, 1}};
        case 2:
            return {{B::Abort, 2}, {B::Retry, 3}, {B::Ignore, 4}};
        case 3:
            return {{B::Yes, 5}, {B::No, 6}, {B::Cancel, 1}};
        case 4:
            return {{B::Yes, 5}, {B::No, 6}};
        case 5:
            return {{B::Retry, 3}, {B::Cancel, 1}};
        default:
            return {{B::Ok, 0}};
    }
}

}  // namespace

int QtDialogs::message(QWidget* parent, const QString& text, const QString& caption, int flags) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    // System-modal boxes (0x1000) block the whole program; others their window.
    box.setWindowModality((flags & 0x1000) != 0 ? Qt::ApplicationModal : Qt::WindowModal);
    const auto buttons = buttons_for(flags);
    QMessageBox::StandardButtons set;
    for (const auto& [button, result] : buttons) {
        set |= button;
    }
    box.setStandardButtons(set);
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& [button, result] : buttons) {
        if (button == clicked) {
            return result;
        }
    }
    // Closed without a button: the answer of the last button (Cancel where there is one).
    return buttons.back().second;
}

std::optional<QString> QtDialogs::save_file(QWidget* parent, const QString& title,
                                            const QString& filters, const QString& default_suffix,
                                            const QString& file_name) {
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

}  // namespace quorvel::app
