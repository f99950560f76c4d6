// The window's second process: the real main window keeping its harvest in
// the journal given, against the fake marketplace at HOST, until it ends or
// is killed.
//   window_child JOURNAL HOST CA_FILE SEEDS_UTF8

#include <QApplication>
#include <QPushButton>
#include <cstdio>

#include "app/main_window.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "shell/control_table.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/window_driver.h"

using namespace quorvel;

int main(int argc, char* argv[]) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: window_child JOURNAL HOST CA_FILE SEEDS\n");
        return 2;
    }
    QApplication application(argc, argv);
    platform::set_extra_ca_file(argv[3]);
    auto journal = journal::Journal::open(argv[1]);
    if (!journal) {
        std::fprintf(stderr, "%s\n", journal.error().message.c_str());
        return 1;
    }
    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    app::MainWindow window(store, dialogs, {argv[2], argv[2]});
    window.set_journal(&*journal);
    window.show();
    testsupport::seeds_and_all_kinds(window, QString::fromUtf8(argv[4]));
    QObject::connect(&window, &app::MainWindow::harvest_finished, &application,
                     &QApplication::quit);
    testsupport::find_control<QPushButton>(&window, shell::search_button)->click();
    return QApplication::exec();
}
