#pragma once
// Driving the built-in browser as a user would, for the sign-in tests.

#include <QTest>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <memory>
#include <optional>

#include "app/browser.h"

namespace quorvel::testsupport {

// Presses the button of the first form of the page the window shows, once
// it has loaded `path`; false when it does not within 20 s.
inline bool submit_form(app::BrowserWindow* window, const QString& path) {
    QWebEnginePage* page = window->browser()->page();
    // One question to the page at a time, until it has the form.
    auto answer = std::make_shared<std::optional<bool>>(false);
    const bool loaded = QTest::qWaitFor(
        [&] {
            if (*answer == false && page->url().path() == path && !page->isLoading()) {
                answer->reset();
                page->runJavaScript(
                    QStringLiteral("document.readyState === 'complete' && "
                                   "document.forms.length > 0"),
                    [answer](const QVariant& result) { *answer = result.toBool(); });
            }
            return *answer == true;
        },
        20000);
    if (!loaded) {
        qWarning("the page did not load: %s", qPrintable(page->url().toString()));
        return false;
    }
    page->runJavaScript(QStringLiteral("document.forms[0].querySelector('button').click();"));
    return true;
}

}  // namespace quorvel::testsupport
