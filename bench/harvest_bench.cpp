// A harvest of 20 seeds with all five kinds against the local fake
// marketplace, with the warm shared transport and with a fresh connection for
// every request: requests and words per second. And what a journal recording
// the run costs: harvests with and without one, taken in turns so that the
// machine's drift falls on both alike, compared by their medians.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/encoding.h"
#include "harvest/harvest_run.h"
#include "journal/journal.h"
#include "platform/http_transport.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/recording_window.h"
#include "tests/support/test_servers.h"

namespace {

using namespace quorvel;

testsupport::FakeMarketplace& marketplace() {
    static testsupport::FakeMarketplace* fake = [] {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        return new testsupport::FakeMarketplace();
    }();
    return *fake;
}

// A journal in a folder of its own, for the runs of one benchmark.
class ScratchJournal {
  public:
    ScratchJournal() {
        std::string folder =
            (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
        if (mkdtemp(folder.data()) != nullptr) {
            folder_ = folder;
            auto opened = journal::Journal::open(folder_ / "quorvel.sqlite3");
            if (opened) {
                journal_.emplace(std::move(*opened));
            }
        }
    }
    ~ScratchJournal() {
        journal_.reset();
        if (!folder_.empty()) {
            std::filesystem::remove_all(folder_);
        }
    }
    ScratchJournal(const ScratchJournal&) = delete;
    ScratchJournal& operator=(const ScratchJournal&) = delete;

    journal::Journal* get() { return journal_ ? &*journal_ : nullptr; }

  private:
    std::filesystem::path folder_;
    std::optional<journal::Journal> journal_;
};

// The seed box's text of the 20 seeds.
std::string twenty_seeds() {
    std::string seeds;
    for (int i = 0; i < 20; ++i) {
        seeds += data::gbk_from_utf8("\xE8\xBF\x9E\xE8\xA1\xA3\xE8\xA3\x99" + std::to_string(i)) +
                 "\r\n";
    }
    return seeds;
}

// One harvest of the seeds with every kind ticked, told to `observer`; the
// number of requests and of words, or nothing when a request failed.
std::optional<std::pair<std::size_t, std::size_t>> harvest_once(
    const std::string& seeds, harvest::HarvestObserver* observer) {
    testsupport::FakeMarketplace& fake = marketplace();
    testsupport::RecordingWindow window;
    window.texts[std::string(harvest::seed_box)] = seeds;
    for (harvest::KeywordSource source : harvest::all_sources) {
        window.checked[std::string(harvest::info(source).check_box)] = true;
    }
    harvest::HarvestStore store;
    fake.clear_requests();
    harvest::start_harvest(window, store,
                           {.hosts = {fake.host(), fake.host()}, .observer = observer});
    if (!window.messages.empty()) {
        return std::nullopt;
    }
    std::size_t words = 0;
    for (harvest::KeywordSource source : harvest::all_sources) {
        words += store.word_rows(source).size();
    }
    return std::pair{fake.requests().size(), words};
}

void run(benchmark::State& state, platform::ConnectionPolicy policy) {
    const std::string seeds = twenty_seeds();
    platform::set_default_connection_policy(policy);
    std::size_t requests = 0;
    std::size_t words = 0;
    for (auto _ : state) {
        const auto counted = harvest_once(seeds, nullptr);
        if (!counted) {
            state.SkipWithError("a request failed");
            break;
        }
        requests += counted->first;
        words += counted->second;
    }
    platform::set_default_connection_policy(platform::ConnectionPolicy::shared);
    state.counters["requests_per_s"] =
        benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["words_per_s"] =
        benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsRate);
}

double process_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Each iteration is two harvests: one recorded by a journal (a run begun,
// recorded and ended), one not. Reports the medians, the journal's cost in
// time, and the CPU time it adds to a harvest.
void BM_HarvestJournalCost(benchmark::State& state) {
    const std::string seeds = twenty_seeds();
    ScratchJournal journal;
    if (journal.get() == nullptr) {
        state.SkipWithError("cannot open a journal");
        return;
    }
    std::vector<double> with_journal;
    std::vector<double> without;
    double cpu_with_journal = 0;
    double cpu_without = 0;
    // Milliseconds of wall-clock time, and of the process's CPU time (the
    // journal's writer and the fake marketplace's threads included) into `cpu`.
    auto timed = [](double& cpu, auto&& harvest) {
        const double cpu_start = process_cpu_ms();
        const auto start = std::chrono::steady_clock::now();
        const bool done = harvest();
        const double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        cpu += process_cpu_ms() - cpu_start;
        return done ? wall : -1.0;
    };
    for (auto _ : state) {
        const double recorded = timed(cpu_with_journal, [&] {
            auto recorder = journal.get()->begin_run(harvest::KindSet::all(), seeds);
            if (!recorder) {
                return false;
            }
            const bool harvested = harvest_once(seeds, recorder->get()).has_value();
            const bool stored = !(*recorder)->failure();
            recorder->reset();
            return harvested && stored;
        });
        const double plain =
            timed(cpu_without, [&] { return harvest_once(seeds, nullptr).has_value(); });
        if (recorded < 0 || plain < 0) {
            state.SkipWithError("a request or the journal failed");
            break;
        }
        with_journal.push_back(recorded);
        without.push_back(plain);
    }
    const double a = median(with_journal);
    const double b = median(without);
    state.counters["with_journal_ms"] = a;
    state.counters["without_ms"] = b;
    state.counters["journal_cost_pct"] = b > 0 ? (a - b) / b * 100.0 : 0;
    const auto runs = static_cast<double>(std::max<std::size_t>(with_journal.size(), 1));
    state.counters["journal_cpu_ms"] = (cpu_with_journal - cpu_without) / runs;
}

void BM_HarvestWarmSharedTransport(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::shared);
}
void BM_HarvestFreshConnectionEachRequest(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::fresh);
}

BENCHMARK(BM_HarvestWarmSharedTransport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HarvestFreshConnectionEachRequest)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HarvestJournalCost)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(10);

}  // namespace

BENCHMARK_MAIN();
