// A harvest of 20 seeds with all five kinds against the local fake
// marketplace, with the warm shared transport and with a fresh connection for
// every request: requests and words per second.

#include <benchmark/benchmark.h>

#include "data/encoding.h"
#include "harvest/harvest_run.h"
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

void run(benchmark::State& state, platform::ConnectionPolicy policy) {
    testsupport::FakeMarketplace& fake = marketplace();
    const harvest::MarketplaceHosts hosts{fake.host(), fake.host()};
    std::string seeds;
    for (int i = 0; i < 20; ++i) {
        seeds += data::gbk_from_utf8("\xE8\xBF\x9E\xE8\xA1\xA3\xE8\xA3\x99" + std::to_string(i)) +
                 "\r\n";
    }
    platform::set_default_connection_policy(policy);
    std::size_t requests = 0;
    std::size_t words = 0;
    for (auto _ : state) {
        testsupport::RecordingWindow window;
        window.texts[std::string(harvest::seed_box)] = seeds;
        for (harvest::KeywordSource source : harvest::all_sources) {
            window.checked[std::string(harvest::info(source).check_box)] = true;
        }
        harvest::HarvestStore store;
        fake.clear_requests();
        harvest::start_harvest(window, store, {.hosts = hosts});
        requests += fake.requests().size();
        for (harvest::KeywordSource source : harvest::all_sources) {
            words += store.word_rows(source).size();
        }
        if (!window.messages.empty()) {
            state.SkipWithError("a request failed");
            break;
        }
    }
    platform::set_default_connection_policy(platform::ConnectionPolicy::shared);
    state.counters["requests_per_s"] =
        benchmark::Counter(static_cast<double>(requests), benchmark::Counter::kIsRate);
    state.counters["words_per_s"] =
        benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsRate);
}

void BM_HarvestWarmSharedTransport(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::shared);
}
void BM_HarvestFreshConnectionEachRequest(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::fresh);
}

BENCHMARK(BM_HarvestWarmSharedTransport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HarvestFreshConnectionEachRequest)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
