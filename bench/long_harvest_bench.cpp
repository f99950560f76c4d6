// Timed tool for a long harvest in the real main window (offscreen platform)
// against the local fake marketplace: the process's CPU time per request over
// the first tenth of the run's requests and over the last tenth, and their
// ratio; likewise the GUI thread's time applying text changes to the boxes.
// A window whose per-request work grows with the text already shown makes
// the ratio climb with the length of the run.
//
// Usage: quorvel_long_harvest_bench [SEEDS]   (10000 seeds unless given)
//
// A sampler thread polls the fake's request count every millisecond and, each
// time it has grown, notes the count with the process CPU time
// (CLOCK_PROCESS_CPUTIME_ID: the GUI thread, the harvest's worker and the
// fake's server threads alike) and the window operations' update time. A tenth's cost is the CPU
// time between the samples that first reach its first and its last request, divided by the requests
// between those samples. The sampler's own wake-ups cost the same per millisecond throughout, a
// small part of the whole.

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
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

std::int64_t process_cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The main window as the program builds it, asking the fake for every kind.
// The window as the program makes it: every harvest kept in a journal.
std::unique_ptr<app::MainWindow> make_window(harvest::HarvestStore& store, app::Dialogs& dialogs,
                                             const testsupport::FakeMarketplace& fake,
                                             journal::Journal* journal) {
    auto window = std::make_unique<app::MainWindow>(
        store, dialogs, harvest::MarketplaceHosts{fake.host(), fake.host()});
    window->set_journal(journal);
    return window;
}

struct Sample {
    std::size_t requests;
    std::int64_t cpu_ns;
    std::int64_t gui_update_ns;  // the GUI thread's time applying text changes
};

// The first sample that has seen at least `requests` requests.
const Sample& reaching(const std::vector<Sample>& samples, std::size_t requests) {
    for (const Sample& sample : samples) {
        if (sample.requests >= requests) {
            return sample;
        }
    }
    return samples.back();
}

// A time per request between the samples reaching requests `from` and `to`, in ms.
double ms_per_request(const std::vector<Sample>& samples, std::size_t from, std::size_t to,
                      std::int64_t Sample::*time) {
    const Sample& first = reaching(samples, from);
    const Sample& last = reaching(samples, to);
    if (last.requests <= first.requests) {
        return 0;
    }
    return static_cast<double>(last.*time - first.*time) / 1e6 /
           static_cast<double>(last.requests - first.requests);
}

int long_harvest(testsupport::FakeMarketplace& fake, int seed_count) {
    harvest::HarvestStore store;
    testsupport::AnsweringDialogs dialogs;
    testsupport::ScratchFolder folder;
    auto journal = journal::Journal::open(folder / "quorvel.sqlite3");
    if (!journal) {
        std::fprintf(stderr, "no journal: %s\n", journal.error().message.c_str());
        return 1;
    }
    std::unique_ptr<app::MainWindow> window = make_window(store, dialogs, fake, &*journal);
    window->show();
    testsupport::seeds_and_all_kinds(*window, testsupport::numbered_seeds("连衣裙", seed_count));
    fake.clear_requests();

    const app::QtWindowOperations& operations = window->window_operations();
    std::vector<Sample> samples{{0, process_cpu_ns(), operations.gui_update_nanoseconds()}};
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const std::size_t requests = fake.request_count();
            if (requests != samples.back().requests) {
                samples.push_back(
                    {requests, process_cpu_ns(), operations.gui_update_nanoseconds()});
            }
        }
    });

    QSignalSpy finished(window.get(), &app::MainWindow::harvest_finished);
    QElapsedTimer timer;
    timer.start();
    const std::int64_t cpu_start = process_cpu_ns();
    window->findChild<QPushButton*>(QString::fromUtf8("按钮1"))->click();
    const bool ended = finished.wait(3'600'000);
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    const double cpu_seconds = static_cast<double>(process_cpu_ns() - cpu_start) / 1e9;
    done = true;
    sampler.join();
    if (!ended) {
        std::fprintf(stderr, "the harvest did not finish within an hour\n");
        return 1;
    }

    // Each box's line count in the last summary row is the number of words it received.
    std::size_t words = 0;
    bool counts_match = store.seed_rows().size() == static_cast<std::size_t>(seed_count);
    for (harvest::KeywordSource source : harvest::all_sources) {
        const std::size_t in_box = store.word_rows(source).size();
        words += in_box;
        if (counts_match) {
            const int counted = store.seed_rows().back().counts[harvest::index_of(source)];
            counts_match = counted == static_cast<int>(in_box);
        }
    }

    const std::size_t total = samples.back().requests;
    const double first = ms_per_request(samples, 1, total / 10, &Sample::cpu_ns);
    const double last = ms_per_request(samples, total - total / 10, total, &Sample::cpu_ns);
    const double first_gui = ms_per_request(samples, 1, total / 10, &Sample::gui_update_ns);
    const double last_gui =
        ms_per_request(samples, total - total / 10, total, &Sample::gui_update_ns);
    std::printf("long harvest: %d seeds, %zu requests, %zu words in %.1f s (process CPU %.1f s)\n",
                seed_count, total, words, seconds, cpu_seconds);
    std::printf("CPU per request: first tenth %.3f ms, last tenth %.3f ms, ratio %.2f\n", first,
                last, first > 0 ? last / first : 0.0);
    std::printf("GUI thread showing words per request: first tenth %.3f ms, last tenth %.3f ms\n",
                first_gui, last_gui);
    std::printf("GUI thread busy showing words %.1f ms in all; summary counts %s\n",
                static_cast<double>(operations.gui_update_nanoseconds()) / 1e6,
                counts_match ? "match the words" : "DO NOT match the words");
    return counts_match ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    int seed_count = 10000;
    if (argc > 1) {
        seed_count = std::atoi(argv[1]);
        if (seed_count < 10) {
            std::fprintf(stderr, "usage: %s [SEEDS]   (at least 10; 10000 unless given)\n",
                         argv[0]);
            return 2;
        }
    }
    platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
    testsupport::FakeMarketplace fake;
    return long_harvest(fake, seed_count);
}
