// Times quorvel-cli as a user runs it, against the local fake marketplace
// on the HTTPS port: a 20-seed harvest of all five kinds with the journal
// and without it (--no-db), and the peak memory and speed of a run of many
// seeds, and a run whose replies each come 20 ms after their request, as
// over a real network. Prints one line per measurement.
//
//   build/default/bench/quorvel_cli_bench [SEEDS]   (default 1000)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/private_network.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"

namespace {

namespace fs = std::filesystem;
using quorvel::testsupport::ChildResult;

struct Timed {
    ChildResult result;
    double seconds = 0;
};

Timed run(const std::string& address, const std::vector<std::string>& args, const fs::path& home) {
    std::vector<std::string> argv = {QUORVEL_CLI};
    argv.insert(argv.end(), args.begin(), args.end());
    for (const char* host : {"suggest.taobao.com", "s.taobao.com"}) {
        argv.insert(argv.end(), {"--resolve", std::string(host) + ":443:" + address});
    }
    argv.insert(argv.end(), {"--cacert", quorvel::testsupport::test_certificate().cert_path, "-q"});
    const auto start = std::chrono::steady_clock::now();
    Timed timed;
    timed.result = quorvel::testsupport::run_child(
        argv, {{"HOME", home.string()}, {"XDG_DATA_HOME", (home / "data").string()}});
    timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (timed.result.exit_code != 0) {
        std::fprintf(stderr, "quorvel-cli failed (%d): %s\n", timed.result.exit_code,
                     timed.result.err.c_str());
        std::exit(1);
    }
    return timed;
}

std::string seed_lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += "seed" + std::to_string(i) + "\n";
    }
    return text;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int many = argc > 1 ? std::atoi(argv[1]) : 1000;
    const std::string address = quorvel::testsupport::address_for_https_port();
    quorvel::testsupport::FakeMarketplace fake(address, 443);
    char pattern[] = "/tmp/quorvel-cli-bench-XXXXXX";
    const fs::path home = ::mkdtemp(pattern);
    const fs::path seeds20 = home / "seeds20.txt";
    const fs::path seeds_many = home / "seeds-many.txt";
    std::FILE* f = std::fopen(seeds20.c_str(), "w");
    std::fputs(seed_lines(20).c_str(), f);
    std::fclose(f);
    f = std::fopen(seeds_many.c_str(), "w");
    std::fputs(seed_lines(many).c_str(), f);
    std::fclose(f);

    std::vector<double> with_journal;
    std::vector<double> without;
    for (int round = 0; round < 7; ++round) {
        with_journal.push_back(
            run(address, {"harvest", "-i", seeds20.string(), "-o", (home / "out.txt").string()},
                home)
                .seconds);
        without.push_back(
            run(address,
                {"harvest", "-i", seeds20.string(), "--no-db", "-o", (home / "out.txt").string()},
                home)
                .seconds);
    }
    const double journaled = median(with_journal);
    const double plain = median(without);
    std::printf("20 seeds, all kinds: %.3f s with the journal, %.3f s without (%+.1f%%)\n",
                journaled, plain, (journaled / plain - 1) * 100);

    fake.clear_requests();
    const Timed big =
        run(address, {"harvest", "-i", seeds_many.string(), "-o", (home / "many.jsonl").string()},
            home);
    const auto requests = fake.requests().size();
    std::printf("%d seeds, all kinds: %.1f s, %.2f MB peak memory, %.1f ms CPU per request\n", many,
                big.seconds, static_cast<double>(big.result.max_rss_kb) / 1024.0,
                big.result.cpu_seconds * 1000.0 / static_cast<double>(requests));
    // Over a network: every reply 20 ms after its request, a fifth of the
    // seeds, with 1, 2, 4 and 8 requests in flight.
    const int delayed = std::max(1, many / 5);
    const fs::path seeds_delayed = home / "seeds-delayed.txt";
    f = std::fopen(seeds_delayed.c_str(), "w");
    std::fputs(seed_lines(delayed).c_str(), f);
    std::fclose(f);
    fake.set_reply_delay(std::chrono::milliseconds(20));
    std::printf("%d seeds, all kinds, 20 ms per reply:\n", delayed);
    double one_seconds = 0;
    double one_cpu = 0;
    std::string one_words;
    bool goal_met = true;
    for (const int parallel : {1, 2, 4, 8}) {
        fake.clear_requests();
        const fs::path out = home / ("slow-" + std::to_string(parallel) + ".txt");
        const Timed slow = run(address,
                               {"harvest", "-i", seeds_delayed.string(), "--no-db", "--parallel",
                                std::to_string(parallel), "-o", out.string()},
                               home);
        const auto slow_requests = static_cast<double>(fake.requests().size());
        const double cpu = slow.result.cpu_seconds * 1000.0 / slow_requests;
        const std::string words = quorvel::testsupport::file_bytes(out);
        if (parallel == 1) {
            one_seconds = slow.seconds;
            one_cpu = cpu;
            one_words = words;
        } else if (words != one_words) {
            std::fprintf(stderr, "--parallel %d found other words than one at a time\n", parallel);
            return 1;
        }
        std::printf(
            "  --parallel %d: %.1f s for %.0f requests (%.1f ms each, %.0f%% of one at a time), "
            "%.2f ms CPU per request (%.2fx)\n",
            parallel, slow.seconds, slow_requests, slow.seconds * 1000.0 / slow_requests,
            100.0 * slow.seconds / one_seconds, cpu, cpu / one_cpu);
        if (parallel == 8) {
            goal_met = slow.seconds <= one_seconds / 4 && cpu <= one_cpu * 1.2;
        }
    }
    fake.set_reply_delay(std::chrono::milliseconds(0));
    // Only at full size do the times mean something.
    if (many >= 1000 && !goal_met) {
        std::printf(
            "goal missed: 8 in flight should take at most a quarter of the time of one at "
            "a time, with at most 1.2x its CPU per request\n");
        return 1;
    }

    std::error_code ignored;
    const auto size = fs::file_size(home / "data" / "quorvel" / "quorvel.sqlite3", ignored);
    std::printf("journal after all runs: %.2f MB\n", static_cast<double>(size) / 1e6);
    fs::remove_all(home, ignored);
    return 0;
}
