#pragma once
// The sign-in window: the marketplace's sign-in page in the embedded browser,
// and beside it, on a second tab, the way in for users whose sign-in the
// embedded browser cannot finish: a Cookie header pasted from their own
// browser, or a cookies.txt it exported, taken into the session.

#include "app/browser.h"
#include "app/dialogs.h"
#include "app/marketplace_session.h"

class QPlainTextEdit;

namespace quorvel::app {

class SignInWindow : public BrowserWindow {
    Q_OBJECT

  public:
    // `session` outlives the window.
    SignInWindow(const QUrl& page, Dialogs& dialogs, MarketplaceSession& session,
                 QWidget* parent = nullptr);

  private:
    QWidget* paste_form();
    void take_pasted();
    void take_file();
    // Takes the session from `text` and says what came of it; closes the
    // window once it is taken.
    void take(std::string_view text, std::string_view source);

    Dialogs& dialogs_;
    MarketplaceSession& session_;
    QPlainTextEdit* paste_ = nullptr;
};

}  // namespace quorvel::app
