// Timed tool for the desktop shell (offscreen platform): words per second
// shown in the result boxes during a harvest from the local fake marketplace,
// and the GUI thread's time to show 100,000 words appended from a worker.

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "app/main_window.h"
#include "app/settings_dialog.h"
#include "data/encoding.h"
#include "harvest/keyword_source.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;

namespace {

void harvest_rate(testsupport::FakeMarketplace& fake) {
    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    app::MainWindow window(store, dialogs, {fake.host(), fake.host()});
    window.show();
    testsupport::seeds_and_all_kinds(window, testsupport::numbered_seeds("连衣裙", 50));
    QSignalSpy finished(&window, &app::MainWindow::harvest_finished);
    QElapsedTimer timer;
    timer.start();
    window.findChild<QPushButton*>(QString::fromUtf8("按钮1"))->click();
    finished.wait(120000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::size_t words = 0;
    for (harvest::KeywordSource source : harvest::all_sources) {
        words += store.word_rows(source).size();
    }
    std::printf(
        "harvest: 50 seeds, %zu requests, %zu words shown in %.3f s: %.0f words/s, "
        "GUI thread busy showing them %.1f ms\n",
        fake.requests().size(), words, seconds, static_cast<double>(words) / seconds,
        static_cast<double>(window.window_operations().gui_update_nanoseconds()) / 1e6);
}

void hundred_thousand_words() {
    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    app::MainWindow window(store, dialogs);
    window.show();
    app::QtWindowOperations& operations = window.window_operations();
    const std::string box(harvest::info(harvest::KeywordSource::PcDropdown).result_box);
    const std::string word = data::gbk_from_utf8("连衣裙女夏季") + "\r\n";
    QElapsedTimer timer;
    timer.start();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        app::QtWindowOperations::RunView run = operations.for_run({});
        for (int i = 0; i < 100000; ++i) {
            run.append_text(box, word);
        }
        done = true;
    });
    // The GUI thread serves the queued batches while the worker appends.
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    worker.join();
    // The last batch, as its timer would apply it.
    QTest::qWait(100);
    operations.flush();
    const auto lines =
        window.findChild<QPlainTextEdit*>(QString::fromUtf8(box.data()))->document()->blockCount();
    std::printf(
        "100,000 words appended from a worker: %d lines shown after %.3f s wall time, "
        "GUI thread busy showing them %.1f ms\n",
        lines - 1, static_cast<double>(timer.nsecsElapsed()) / 1e9,
        static_cast<double>(operations.gui_update_nanoseconds()) / 1e6);
}

// CPU time of the calling thread, in ms.
double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A harvest in the window as a user runs it: kept in a journal, with the
// progress line updating, until about 100,000 words are shown, with
// `parallel` requests in flight as set in 设置. The GUI thread's CPU time
// covers everything it did meanwhile.
void harvest_with_journal_and_progress(testsupport::FakeMarketplace& fake, int seed_count,
                                       int parallel) {
    testsupport::ScratchFolder folder;
    app::WindowSettings settings;
    settings.parallel_requests = parallel;
    settings.save();
    auto journal = journal::Journal::open(folder / "quorvel.sqlite3");
    if (!journal) {
        std::printf("no journal: %s\n", journal.error().message.c_str());
        return;
    }
    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    app::MainWindow window(store, dialogs, {fake.host(), fake.host()});
    window.set_journal(&*journal);
    window.show();
    testsupport::seeds_and_all_kinds(window, testsupport::numbered_seeds("连衣裙", seed_count));
    fake.clear_requests();
    QSignalSpy finished(&window, &app::MainWindow::harvest_finished);
    QElapsedTimer timer;
    timer.start();
    const double cpu_before = thread_cpu_ms();
    window.findChild<QPushButton*>(QString::fromUtf8("按钮1"))->click();
    finished.wait(1800000);
    const double gui_ms = thread_cpu_ms() - cpu_before;
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::size_t words = 0;
    for (harvest::KeywordSource source : harvest::all_sources) {
        words += store.word_rows(source).size();
    }
    std::printf(
        "harvest kept in the journal, progress on, %d in flight: %d seeds, %zu requests, %zu "
        "words in %.1f s; "
        "GUI thread CPU %.0f ms (%.0f ms per 100,000 words), of which showing words %.0f ms; "
        "journal %.1f MB\n",
        parallel, seed_count, fake.requests().size(), words, seconds, gui_ms,
        gui_ms * 100000.0 / static_cast<double>(std::max<std::size_t>(words, 1)),
        static_cast<double>(window.window_operations().gui_update_nanoseconds()) / 1e6,
        static_cast<double>(std::filesystem::file_size(folder / "quorvel.sqlite3") +
                            std::filesystem::file_size(folder / "quorvel.sqlite3-wal")) /
            1e6);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The window's settings go to a folder of the bench's own.
    testsupport::ScratchFolder config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    testsupport::FakeMarketplace fake;
    harvest_rate(fake);
    hundred_thousand_words();
    // Seeds for about 100,000 words (the fake gives some 24 a seed), or as given.
    for (const int parallel : {1, 8}) {
        harvest_with_journal_and_progress(fake, argc > 1 ? std::atoi(argv[1]) : 4200, parallel);
    }
    return 0;
}
