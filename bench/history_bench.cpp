// Timed tool for the history window (offscreen platform): journals N runs
// (default 5,000) of S seeds each (default 3) with a few words per seed,
// then prints the median time of the journal's list of runs and of the
// window reading and showing it again. Given a journal FILE, it times that
// one, journaling the runs into it first only when it has none, so that
// turns over the same runs need not journal them again.
//
//   quorvel_history_bench [RUNS [SEEDS [FILE]]]

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/history_window.h"
#include "data/encoding.h"
#include "journal/journal.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/scratch.h"

using namespace quorvel;

namespace {

constexpr int words_per_seed = 5;
constexpr int turns = 7;

// Journals `runs` finished runs of `seeds` seeds; false on a failure.
bool fill(journal::Journal& journal, long runs, long seeds) {
    const std::string stem = data::gbk_from_utf8("连衣裙女夏季");
    for (long run = 0; run < runs; ++run) {
        std::string seed_text;
        for (long s = 0; s < seeds; ++s) {
            seed_text += stem + std::to_string(run) + "-" + std::to_string(s) + "\r\n";
        }
        auto recorder = journal.begin_run(harvest::KindSet::all(), seed_text);
        if (!recorder) {
            std::fprintf(stderr, "%s\n", recorder.error().message.c_str());
            return false;
        }
        for (long s = 0; s < seeds; ++s) {
            const std::string seed = stem + std::to_string(run) + "-" + std::to_string(s);
            for (int w = 0; w < words_per_seed; ++w) {
                (*recorder)->word_recorded(harvest::all_sources[static_cast<std::size_t>(w % 5)],
                                           static_cast<std::size_t>(s), seed,
                                           seed + std::to_string(w), "");
            }
            (*recorder)->reply_processed(harvest::RequestKind::pc_suggest);
            (*recorder)->seed_finished(static_cast<std::size_t>(s), {seed, {}});
        }
        (*recorder)->run_ended(harvest::RunEnd::finished);
        if ((*recorder)->failure()) {
            std::fprintf(stderr, "%s\n", (*recorder)->failure()->message.c_str());
            return false;
        }
    }
    return true;
}

template <typename Step>
double median_ms(Step step) {
    std::vector<double> times;
    for (int turn = 0; turn < turns; ++turn) {
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char* argv[]) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    const long runs = argc > 1 ? std::atol(argv[1]) : 5000;
    const long seeds = argc > 2 ? std::atol(argv[2]) : 3;
    if (runs <= 0 || seeds <= 0) {
        std::fprintf(stderr, "usage: quorvel_history_bench [RUNS [SEEDS [FILE]]]\n");
        return 2;
    }

    testsupport::ScratchFolder folder;
    auto journal = journal::Journal::open(argc > 3 ? std::filesystem::path(argv[3])
                                                   : folder / "quorvel.sqlite3");
    if (!journal) {
        std::fprintf(stderr, "%s\n", journal.error().message.c_str());
        return 1;
    }
    const auto stored = journal->runs();
    if (!stored) {
        std::fprintf(stderr, "%s\n", stored.error().message.c_str());
        return 1;
    }
    if (stored->empty()) {
        QElapsedTimer filling;
        filling.start();
        if (!fill(*journal, runs, seeds)) {
            return 1;
        }
        std::printf("%ld runs of %ld seeds and %ld words journaled in %.1f s\n", runs, seeds,
                    seeds * words_per_seed, static_cast<double>(filling.elapsed()) / 1e3);
    }

    std::size_t listed = 0;
    const double list_ms = median_ms([&] {
        auto list = journal->runs();
        listed = list ? list->size() : 0;
    });
    std::printf("Journal::runs(): %zu runs in %.1f ms (median of %d)\n", listed, list_ms, turns);
    const double opening_ms = median_ms([&] {
        auto list = journal->runs(journal::Journal::SeedText::opening);
        listed = list ? list->size() : 0;
    });
    std::printf(
        "Journal::runs(SeedText::opening), as the history lists them: %zu runs in %.1f ms\n",
        listed, opening_ms);

    testsupport::AnsweringDialogs dialogs;
    app::HistoryWindow window(*journal, dialogs, {});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    if (const auto list = journal->runs(); list && !list->empty()) {
        window.select_run((*list)[list->size() / 2].id);
    }
    // Read again, with the selection kept and the view laid out and painted.
    const double reload_ms = median_ms([&] {
        window.reload();
        window.repaint();
    });
    std::printf("HistoryWindow::reload() and a repaint: %.1f ms (median of %d)\n", reload_ms,
                turns);
    return 0;
}
