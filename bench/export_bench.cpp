// Timed tool: exports a harvest of N rows (default 200,000) of Chinese words
// to an XLSX workbook and a CSV file, and prints the seconds each took and the
// process's peak memory. Run it once per size to compare sizes.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/encoding.h"
#include "export/export.h"

using namespace quorvel;

int main(int argc, char* argv[]) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    harvest::HarvestStore store;
    const long seeds = 100;
    for (long s = 0; s < seeds; ++s) {
        store.add_seed_row({data::gbk_from_utf8("连衣裙" + std::to_string(s)), {}});
    }
    for (long i = 0; i < rows; ++i) {
        const auto source = harvest::all_sources[static_cast<std::size_t>(i % 5)];
        store.add_word(source, data::gbk_from_utf8("连衣裙" + std::to_string(i % seeds)),
                       data::gbk_from_utf8("连衣裙女夏季新款长款" + std::to_string(i)));
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    std::printf("%ld rows held by the store: peak memory %.1f MB before exporting\n", rows,
                static_cast<double>(before.ru_maxrss) / 1024.0);
    std::string folder = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        return 1;
    }
    for (const char* name : {"/out.xlsx", "/out.csv"}) {
        const auto start = std::chrono::steady_clock::now();
        const auto written = exporting::export_to_file(folder + name, store);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (!written) {
            std::fprintf(stderr, "export failed: %s (%s)\n", written.error().reason.c_str(),
                         written.error().detail.c_str());
            return 1;
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%ld rows to %s: %.3f s, %.1f MB file, peak memory %.1f MB\n", rows, name + 1,
                    took.count(),
                    static_cast<double>(std::filesystem::file_size(folder + name)) / 1e6,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
