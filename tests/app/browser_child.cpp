// The program's browser in a process of its own, for the test that a sign-in
// survives a restart. "sign-in URL": signs in on the page at URL and ends
// normally once the session is there (status 0, 1 when it never comes).
// "visit URL": opens URL, waits until it has loaded and ends (status 0).

#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <QWebEnginePage>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "app/browser.h"
#include "app/marketplace_session.h"
#include "tests/app/browser_driver.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        return 2;
    }
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    int status = 2;
    {
        quorvel::app::MarketplaceSession session(quorvel::app::browser_profile(),
                                                 tl::unexpected(std::string("not kept")));
        auto* window = new quorvel::app::BrowserWindow(QStringLiteral("SignInWindow"), QString(),
                                                       QUrl(QString::fromUtf8(argv[2])));
        window->show();
        if (std::strcmp(argv[1], "sign-in") == 0) {
            status = quorvel::testsupport::submit_form(window, QStringLiteral("/")) &&
                             QTest::qWaitFor([&] { return session.signed_in(); }, 20000)
                         ? 0
                         : 1;
        } else if (std::strcmp(argv[1], "visit") == 0) {
            QWebEnginePage* page = window->browser()->page();
            status = QTest::qWaitFor([&] { return !page->isLoading() && !page->title().isEmpty(); },
                                     20000)
                         ? 0
                         : 1;
        }
        delete window;
    }
    // As the program does: the profile ends while the application runs, so
    // that the browser writes its cookies.
    quorvel::app::release_browser_profile();
    return status;
}
