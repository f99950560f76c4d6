#include "shell/history_rows.h"

#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "platform/code_page.h"
#include "shell/run_controller.h"

namespace quorvel::shell {

std::string_view state_text(journal::RunState state) {
    switch (state) {
        case journal::RunState::running:
            return "进行中";
        case journal::RunState::finished:
            return "已完成";
        case journal::RunState::stopped:
            return "已停止";
        case journal::RunState::interrupted:
            break;
    }
    return "已中断";
}

std::string seed_preview(std::string_view seed_text) {
    // A run may have thousands of seeds; a CR LF never lies inside a
    // double-byte character, so the text may be cut there.
    constexpr std::size_t shown = 3;
    std::size_t end = 0;
    for (std::size_t line = 0; line <= shown && end != std::string_view::npos; ++line) {
        end = seed_text.find("\r\n", end);
        if (end != std::string_view::npos) {
            end += 2;
        }
    }
    const std::vector<std::string> seeds = harvest::split_seeds(seed_text.substr(0, end));
    std::string preview;
    for (std::size_t i = 0; i < seeds.size() && i < shown; ++i) {
        if (i > 0) {
            preview += "、";
        }
        preview += platform::convert_code_page(seeds[i], platform::code_page_gbk,
                                               platform::code_page_utf8);
    }
    if (seeds.size() > shown) {
        preview += "…";
    }
    return preview;
}

HistoryRow history_row(const journal::RunInfo& run) {
    HistoryRow row;
    row[started_column] = journal_time_text(run.started_ms);
    row[state_column] = state_text(run.state);
    row[seeds_column] = std::to_string(run.seeds_done) + "/" + std::to_string(run.seeds_total);
    for (harvest::KeywordSource source : harvest::all_sources) {
        const std::size_t kind = harvest::index_of(source);
        row[first_kind_column + kind] =
            run.kinds.has(source) ? std::to_string(run.words[kind]) : "-";
    }
    row[preview_column] = seed_preview(run.seed_text);
    return row;
}

bool can_continue(journal::RunState state) {
    return state == journal::RunState::stopped || state == journal::RunState::interrupted;
}

}  // namespace quorvel::shell
