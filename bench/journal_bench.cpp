// Timed tool: journals N words (default 100,000) in replies of 20 words, as
// a harvest tells them (a summary row after every 50 replies), and prints
// the seconds until all was stored, the seconds to load the run back, and
// the size of the database per 100,000 words. Twice: told as fast as the
// recorder takes them (it stores what comes meanwhile together), and with
// every reply stored in a transaction of its own, as when replies come far
// apart.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/encoding.h"
#include "journal/journal.h"

using namespace quorvel;

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

enum class Pace { fast, reply_by_reply };

// Journals `words` words into a fresh journal in `folder`; false on a failure.
bool journal_words(const std::filesystem::path& folder, long words, Pace pace) {
    constexpr long reply_words = 20;
    constexpr long seed_replies = 50;
    const long seeds = (words + reply_words * seed_replies - 1) / (reply_words * seed_replies);
    std::string seed_text;
    for (long s = 0; s < seeds; ++s) {
        seed_text += data::gbk_from_utf8("连衣裙" + std::to_string(s)) + "\r\n";
    }
    const std::string stem = data::gbk_from_utf8("连衣裙女夏季新款长款");
    const std::filesystem::path file = folder / "quorvel.sqlite3";
    double recording = 0;
    double loading = 0;
    {
        auto journal = journal::Journal::open(file);
        if (!journal) {
            std::fprintf(stderr, "%s\n", journal.error().message.c_str());
            return false;
        }
        auto recorder = journal->begin_run(harvest::KindSet::all(), seed_text);
        if (!recorder) {
            std::fprintf(stderr, "%s\n", recorder.error().message.c_str());
            return false;
        }
        const auto start = std::chrono::steady_clock::now();
        long written = 0;
        for (long s = 0; s < seeds && written < words; ++s) {
            const std::string seed = data::gbk_from_utf8("连衣裙" + std::to_string(s));
            for (long r = 0; r < seed_replies && written < words; ++r) {
                for (long w = 0; w < reply_words && written < words; ++w, ++written) {
                    const auto source = harvest::all_sources[static_cast<std::size_t>(r % 5)];
                    const bool counted = source != harvest::KeywordSource::ArrowWords &&
                                         source != harvest::KeywordSource::DidYouMean;
                    (*recorder)->word_recorded(source, static_cast<std::size_t>(s), seed,
                                               stem + std::to_string(written),
                                               counted ? std::to_string(1000 + w) : std::string());
                }
                (*recorder)->reply_processed(harvest::RequestKind::mobile_suggest);
                if (pace == Pace::reply_by_reply) {
                    (*recorder)->flush();
                }
            }
            (*recorder)->seed_finished(static_cast<std::size_t>(s), {seed, {}});
        }
        (*recorder)->run_ended(harvest::RunEnd::finished);
        recording = seconds_since(start);
        if ((*recorder)->failure()) {
            std::fprintf(stderr, "%s\n", (*recorder)->failure()->message.c_str());
            return false;
        }
        const auto load_start = std::chrono::steady_clock::now();
        const auto loaded = journal->load((*recorder)->run_id());
        loading = seconds_since(load_start);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", loaded.error().message.c_str());
            return false;
        }
    }
    // Closed: the write-ahead log is now in the database file.
    const auto bytes = static_cast<double>(std::filesystem::file_size(file));
    std::printf(
        "%ld words in replies of %ld, %s: stored in %.3f s, loaded back in %.3f s; "
        "database %.2f MB per 100,000 words\n",
        words, reply_words,
        pace == Pace::fast ? "told at full speed" : "each reply in its own transaction", recording,
        loading, bytes / 1e6 * 100000.0 / static_cast<double>(words));
    std::filesystem::remove(file);
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    const long words = argc > 1 ? std::atol(argv[1]) : 100000;
    std::string folder = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    const bool done = journal_words(folder, words, Pace::fast) &&
                      journal_words(folder, words, Pace::reply_by_reply);
    std::filesystem::remove_all(folder);
    return done ? 0 : 1;
}
