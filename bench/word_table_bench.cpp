// Timed tool: the word table of a harvest of N word rows (default 200,000,
// a 5,000-seed harvest): building it, filtering it again as on a keystroke,
// cutting it into roots, and the memory that takes above the harvest. At the
// default size it fails (status 1) when a step is over its limit: 1 s to
// build, 100 ms to filter, 2 s for the roots, 150 MB.

#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/encoding.h"
#include "research/roots.h"
#include "shell/word_table_controller.h"

using namespace quorvel;

namespace {

double peak_mb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

template <typename F>
double seconds(F&& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char* argv[]) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    const bool checked = argc <= 1;
    // Seeds and the words their suggestions give, as a harvest finds them:
    // the same words recur under neighbouring seeds and across kinds.
    const std::array<const char*, 12> heads = {"连衣裙", "手机壳", "雪纺衫",   "牛仔裤",
                                               "运动鞋", "保温杯", "充电宝",   "双肩包",
                                               "太阳镜", "羽绒服", "蓝牙耳机", "收纳盒"};
    const std::array<const char*, 10> tails = {"女夏",     "新款",      "2024 爆款", "大码宽松",
                                               "ins风",    "男士",      "学生韩版",  "高级感",
                                               "碎花长款", "官方旗舰店"};
    const long seeds = rows / 40 > 0 ? rows / 40 : 1;
    harvest::HarvestStore store;
    for (long s = 0; s < seeds; ++s) {
        store.add_seed_row(
            {data::gbk_from_utf8(std::string(heads[s % heads.size()]) + std::to_string(s)), {}});
    }
    for (long i = 0; i < rows; ++i) {
        const long seed = i / 40;
        const std::string word = std::string(heads[seed % heads.size()]) + tails[i % tails.size()] +
                                 std::to_string((seed + i) % 9000);
        store.add_word(
            harvest::all_sources[static_cast<std::size_t>(i % 5)],
            data::gbk_from_utf8(std::string(heads[seed % heads.size()]) + std::to_string(seed)),
            data::gbk_from_utf8(word), std::to_string((i * 7919) % 1000000));
    }
    const double held = peak_mb();

    std::shared_ptr<research::WordTable> table;
    const double build = seconds(
        [&] { table = std::make_shared<research::WordTable>(research::WordTable::build(store)); });
    shell::WordTableController controller(table);
    const double filter = seconds([&] { controller.set_include("连衣裙 女"); });
    const std::size_t narrowed = controller.shown().size();
    // Every row again, sorted anew: the slowest keystroke.
    const double widen = seconds([&] { controller.set_include(""); });
    std::size_t roots = 0;
    const double cut = seconds([&] {
        const auto& all = controller.roots();
        roots = all ? all->size() : 0;
    });
    const double above = peak_mb() - held;
    std::printf(
        "%ld word rows, %zu words: built in %.3f s; filtered to %zu in %.1f ms, back to all in "
        "%.1f ms; %zu roots in %.3f s; %.1f MB above the harvest (%.1f MB)\n",
        rows, table->size(), build, narrowed, filter * 1000, widen * 1000, roots, cut, above, held);
    if (checked && (build > 1.0 || filter > 0.1 || widen > 0.1 || cut > 2.0 || above > 150)) {
        std::printf("over a limit: 1 s to build, 100 ms to filter, 2 s for the roots, 150 MB\n");
        return 1;
    }
    return 0;
}
