// The index window: opened by "阿里指数查询" without blocking, on a local
// page served by a test server, and closed with the main window.

#include <QPushButton>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <atomic>
#include <chrono>
#include <future>

#include "app/browser.h"
#include "app/main_window.h"
#include "shell/control_table.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;
using app::MainWindow;
using testsupport::u;

class IndexWindowTest : public QObject {
    Q_OBJECT

    harvest::HarvestStore store_;
    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;

    QPushButton* index_button() {
        return testsupport::find_control<QPushButton>(window_.get(), shell::index_button);
    }

  private slots:
    void index_window_opens_without_blocking() {
        // The page is served only once the click has returned (or after a
        // minute, should it never return): a click that waited for it would
        // return with the page served.
        std::promise<void> clicked;
        const std::shared_future<void> may_serve = clicked.get_future().share();
        std::atomic<bool> served = false;
        testsupport::RawServer page([may_serve, &served](const testsupport::RawRequest&) {
            may_serve.wait_for(std::chrono::minutes(1));
            served = true;
            return testsupport::RawResponse{testsupport::http_response(
                200, "<html><body>index</body></html>", "Content-Type: text/html\r\n")};
        });
        window_ =
            std::make_unique<MainWindow>(store_, dialogs_, harvest::MarketplaceHosts{},
                                         QUrl(QString::fromStdString(page.base_url() + "/index")));
        window_->show();
        QTest::mouseClick(index_button(), Qt::LeftButton);
        QVERIFY(!served);
        clicked.set_value();
        app::IndexWindow* index = window_->index_window();
        QVERIFY(index != nullptr);
        QVERIFY(index->isVisible());
        QVERIFY(index->parentWidget() == nullptr);
        QCOMPARE(index->size(), QSize(760, 416));
        QCOMPARE(index->browser()->objectName(), u(shell::index_browser));
        QCOMPARE(index->browser()->geometry(), QRect(8, 8, 1160, 656));
        // The index pages share the program's browser profile, and its sign-in.
        QCOMPARE(index->browser()->page()->profile(), app::browser_profile());
        QVERIFY(window_->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(served, 60000);
        QCOMPARE(page.requests()[0].request_line, std::string("GET /index HTTP/1.1"));
        // A second click brings the same window forward.
        QTest::mouseClick(index_button(), Qt::LeftButton);
        QCOMPARE(window_->index_window(), index);
        // Closing the main window closes the index window too.
        window_->close();
        QTRY_VERIFY_WITH_TIMEOUT(
            window_->index_window() == nullptr || !window_->index_window()->isVisible(), 60000);
    }
};

int main(int argc, char* argv[]) {
    return run_qt_test<IndexWindowTest>(argc, argv);
}

#include "index_window_test.moc"
