// Takes the README's screenshot: the main window after a harvest of two seeds
// with all five kinds from the local fake marketplace. Run it under a display
// (xvfb-run works) with the output path as its argument.

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "harvest/keyword_source.h"
#include "platform/http_transport.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/test_servers.h"

using namespace quorvel;

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    testsupport::FakeMarketplace fake;

    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    app::MainWindow window(store, dialogs, {fake.host(), fake.host()});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    window.findChild<QPlainTextEdit*>(QString::fromUtf8(harvest::seed_box.data()))
        ->setPlainText(QString::fromUtf8("连衣裙\n雪纺衫"));
    for (harvest::KeywordSource source : harvest::all_sources) {
        window.findChild<QCheckBox*>(QString::fromUtf8(harvest::info(source).check_box.data()))
            ->setChecked(true);
    }
    QSignalSpy finished(&window, &app::MainWindow::harvest_finished);
    window.findChild<QPushButton*>(QString::fromUtf8("按钮1"))->click();
    if (!finished.wait(60000)) {
        return 1;
    }
    QTest::qWait(200);
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
