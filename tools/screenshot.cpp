// Takes the README's screenshots: the main window during a harvest of 300
// seeds with all five kinds from the local fake marketplace, while the 12th
// seed's reply is awaited, so that the progress line shows the run; then,
// with a second path, the word table of what the stopped harvest found. Run
// it under a display (xvfb-run works) with the output paths as its arguments.

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
#include "app/word_table_window.h"
#include "harvest/keyword_source.h"
#include "platform/http_transport.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s MAIN_WINDOW.png [WORD_TABLE.png]\n", argv[0]);
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
    const char* words[] = {"连衣裙", "雪纺衫", "半身裙", "牛仔裤", "风衣", "衬衫",
                           "卫衣",   "毛衣",   "外套",   "短裤",   "T恤",  "阔腿裤"};
    QString seeds;
    for (int i = 0; i < 300; ++i) {
        seeds += QString::fromUtf8(words[i % 12]);
        if (i >= 12) {
            seeds += QString::number(i / 12);
        }
        seeds += u'\n';
    }
    // The 12th seed's suggestions take seconds to come.
    fake.fail(testsupport::Endpoint::pc, words[11], testsupport::Failure::hang);
    testsupport::seeds_and_all_kinds(window, seeds);
    QSignalSpy finished(&window, &app::MainWindow::harvest_finished);
    window.findChild<QPushButton*>(QString::fromUtf8("按钮1"))->click();
    if (!QTest::qWaitFor([&] { return window.progress().current == 12; }, 60000)) {
        return 1;
    }
    QTest::qWait(1500);  // the progress line a moment into the wait
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    window.stop_harvest();
    finished.wait(5000);
    if (!saved || argc == 2) {
        return saved ? 0 : 1;
    }
    window.findChild<QPushButton*>(QStringLiteral("wordTableButton"))->click();
    auto* table = window.findChild<app::WordTableWindow*>();
    if (table == nullptr || !QTest::qWaitForWindowExposed(table)) {
        return 1;
    }
    QTest::qWait(500);
    return table->grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
