// Parsing a PC suggestion reply and reading it the way the harvest does: every
// suggestion word, and for each suggestion the arrow titles of its entries in
// the "magic" block.

#include <benchmark/benchmark.h>

#include <string>

#include "data/encoding.h"
#include "data/json_document.h"

namespace {

using quorvel::data::JsonDocument;

// A reply of 10 suggestions with a magic entry for each suggestion, of
// `groups` groups of `titles` titles, every `hot_every`-th title marked hot.
std::string pc_reply(int groups, int titles, int hot_every) {
    std::string json = R"({"result":[)";
    for (int i = 0; i < 10; ++i) {
        json += i ? "," : "";
        json += std::string(R"([")") + "\xE5\xA6\x88\xE5\xA6\x88\xE8\xA3\x85" + std::to_string(i) +
                R"(",")" + std::to_string(636521 + i) + R"("])";
    }
    json += R"(],"magic":[)";
    for (int k = 0; k < 10; ++k) {
        json += k ? "," : "";
        json += std::string(R"({"index":")") + std::to_string(k + 1) +
                R"(","type":"tag_group","data":[)";
        for (int l = 0; l < groups; ++l) {
            json += l ? ",[" : "[";
            for (int t = 0; t < titles; ++t) {
                json += t ? "," : "";
                json += std::string("{\"title\":\"\xE6\x89\x93\xE5\xBA\x95") + std::to_string(t) +
                        (t % hot_every == 0 ? R"(","type":"hot"})" : R"("})");
            }
            json += "]";
        }
        json += "]}";
    }
    json += R"(],"tmall":"\u5988\u5988\u88c5"})";
    return quorvel::data::gbk_from_utf8(json);
}

void BM_ParseAndReadPcReply(benchmark::State& state) {
    const std::string reply =
        pc_reply(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                 static_cast<int>(state.range(2)));
    JsonDocument doc;
    std::size_t bytes_read = 0;
    for (auto _ : state) {
        if (!doc.parse(reply)) {
            state.SkipWithError("parse failed");
            break;
        }
        const int words = doc.count("result");
        const int entries = doc.count("magic");
        for (int j = 1; j <= words; ++j) {
            bytes_read += doc.get_text("result[" + std::to_string(j - 1) + "][0]").size();
            for (int k = 1; k <= entries; ++k) {
                const std::string entry = "magic[" + std::to_string(k - 1) + "]";
                if (std::stoi(doc.get_text(entry + ".index")) != j) {
                    continue;
                }
                const int groups = doc.count(entry + ".data");
                for (int l = 1; l <= groups; ++l) {
                    const std::string group = entry + ".data[" + std::to_string(l - 1) + "]";
                    const int items = doc.count(group);
                    for (int t = 1; t <= items; ++t) {
                        bytes_read +=
                            doc.get_text(group + "[" + std::to_string(t - 1) + "].title").size();
                    }
                }
            }
        }
    }
    benchmark::DoNotOptimize(bytes_read);
    state.SetLabel(std::to_string(reply.size()) + " bytes per reply");
}

// The parse alone, for comparison.
void BM_ParseOnly(benchmark::State& state) {
    const std::string reply =
        pc_reply(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                 static_cast<int>(state.range(2)));
    JsonDocument doc;
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.parse(reply));
    }
}

// Arguments: groups per entry, titles per group, every n-th title hot.
// 2 x 3 is the usual size of a magic entry; 3 x 4 all hot is a heavy reply.
BENCHMARK(BM_ParseAndReadPcReply)->Args({2, 3, 3})->Args({3, 4, 1})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseOnly)->Args({2, 3, 3})->Args({3, 4, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
