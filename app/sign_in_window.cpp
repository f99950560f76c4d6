#include "app/sign_in_window.h"

#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <filesystem>
#include <stop_token>
#include <string>

#include "app/qt_text.h"
#include "platform/file_read.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

// The session's reasons for refusing name the text they were given.
constexpr std::string_view pasted_source = "the pasted text";
// Larger is no cookie file.
constexpr std::size_t largest_cookie_file = 16 * 1024 * 1024;

QPushButton* named_button(QWidget* parent, const QString& name, std::string_view caption) {
    auto* button = new QPushButton(qt_from_utf8(caption), parent);
    button->setObjectName(name);
    return button;
}

}  // namespace

SignInWindow::SignInWindow(const QUrl& page, Dialogs& dialogs, MarketplaceSession& session,
                           QWidget* parent)
    : BrowserWindow(QStringLiteral("SignInWindow"), qt_from_utf8(shell::texts::sign_in_caption),
                    page, parent),
      dialogs_(dialogs),
      session_(session) {
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("SignInTabs"));
    delete layout()->replaceWidget(browser(), tabs);
    tabs->addTab(browser(), qt_from_utf8(shell::texts::sign_in_browser_tab));
    tabs->addTab(paste_form(), qt_from_utf8(shell::texts::sign_in_paste_tab));
}

QWidget* SignInWindow::paste_form() {
    auto* form = new QWidget(this);
    auto* guide = new QLabel(qt_from_utf8(shell::texts::sign_in_guide), form);
    guide->setWordWrap(true);
    guide->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* open_page =
        named_button(form, QStringLiteral("SignInPageButton"), shell::texts::open_sign_in_page);
    connect(open_page, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(qt_from_utf8(shell::texts::sign_in_page))); });
    QPushButton* choose_file =
        named_button(form, QStringLiteral("SignInFileButton"), shell::texts::choose_cookie_file);
    connect(choose_file, &QPushButton::clicked, this, &SignInWindow::take_file);
    paste_ = new QPlainTextEdit(form);
    paste_->setObjectName(QStringLiteral("SignInPaste"));
    QPushButton* take_button =
        named_button(form, QStringLiteral("SignInPasteTake"), shell::texts::take_pasted_session);
    connect(take_button, &QPushButton::clicked, this, &SignInWindow::take_pasted);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_page);
    buttons->addWidget(choose_file);
    buttons->addStretch();
    auto* take_row = new QHBoxLayout;
    take_row->addStretch();
    take_row->addWidget(take_button);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(guide);
    layout->addLayout(buttons);
    layout->addWidget(paste_, 1);
    layout->addLayout(take_row);
    return form;
}

void SignInWindow::take_pasted() {
    take(paste_->toPlainText().toStdString(), pasted_source);
}

void SignInWindow::take_file() {
    const std::optional<QString> chosen =
        dialogs_.open_file(this, qt_from_utf8(shell::texts::choose_cookie_file),
                           qt_file_filters(qt_from_utf8(shell::texts::cookie_file_filter)));
    if (!chosen) {
        return;
    }
    const std::string name = chosen->toStdString();
    auto bytes = platform::read_whole_file(QFile::encodeName(*chosen).toStdString(),
                                           {.regular_only = true, .max_size = largest_cookie_file});
    if (!bytes) {
        dialogs_.message(this,
                         qt_from_utf8(shell::texts::fill(shell::texts::cannot_read_cookie_file,
                                                         {name, bytes.error().reason})),
                         qt_from_utf8(shell::texts::sign_in_caption), {}, std::stop_token());
        return;
    }
    take(*bytes, name);
}

void SignInWindow::take(std::string_view text, std::string_view source) {
    auto taken = session_.sign_in_from_text(text, source);
    dialogs_.message(this, qt_from_utf8(taken ? *taken : taken.error()),
                     qt_from_utf8(shell::texts::sign_in_caption), {}, std::stop_token());
    if (taken) {
        // The pasted values are not left lying in the box.
        paste_->clear();
        close();
    }
}

}  // namespace quorvel::app
