#include "shell/history_controller.h"

#include <array>

#include "platform/log.h"
#include "shell/run_controller.h"
#include "shell/texts.h"

namespace quorvel::shell {
namespace {

using A = HistoryAction;
constexpr std::array<HistoryButton, 7> buttons{{
    {A::open, "openButton", "打开"},
    {A::continue_run, "continueButton", "继续"},
    {A::export_xlsx, "exportXlsxButton", "导出XLSX"},
    {A::export_csv, "exportCsvButton", "导出CSV"},
    {A::word_table, "wordTableButton", "词表"},
    {A::remove, "deleteButton", "删除"},
    {A::reload, "refreshButton", "刷新"},
}};

}  // namespace

std::span<const HistoryButton> history_buttons() {
    return buttons;
}

HistoryActions history_actions(RunController& runs) {
    return {
        .open_run = [&runs](std::int64_t run) { runs.open_run(run); },
        .continue_run = [&runs](std::int64_t run) { runs.continue_run(run); },
        .export_run = [&runs](std::int64_t run,
                              exporting::ExportFormat format) { runs.export_run(run, format); },
        .can_delete = [&runs](std::int64_t run) { return runs.can_delete(run); },
        .busy = [&runs] { return runs.running(); },
    };
}

HistoryController::HistoryController(journal::Journal& journal, HistoryActions actions,
                                     HistoryView& view)
    : journal_(journal), actions_(std::move(actions)), view_(view) {}

void HistoryController::reload() {
    const std::optional<std::int64_t> kept = selected_run();
    rows_.clear();
    auto runs = journal_.runs(journal::Journal::SeedText::opening);
    if (runs) {
        rows_.reserve(runs->size());
        for (const journal::RunInfo& run : *runs) {
            rows_.push_back({run.id, run.state, history_row(run)});
        }
        status_ = texts::fill(texts::history_count, {std::to_string(runs->size())});
    } else {
        platform::log_warning("history: " + runs.error().message);
        status_ =
            std::string(texts::history_unreadable) + std::string(texts::reason_for(runs.error()));
    }
    view_.rows_changed(kept ? row_of(*kept) : std::nullopt);
}

std::optional<std::size_t> HistoryController::row_of(std::int64_t run) const {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].run == run) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<std::int64_t> HistoryController::selected_run() const {
    const std::optional<std::size_t> row = view_.selected_row();
    if (!row || *row >= rows_.size()) {
        return std::nullopt;
    }
    return rows_[*row].run;
}

bool HistoryController::enabled(HistoryAction action) const {
    if (action == A::reload) {
        return true;
    }
    const std::optional<std::size_t> row = view_.selected_row();
    if (!row || *row >= rows_.size()) {
        return false;
    }
    // Only a run that ended before its last seed goes on.
    return action != A::continue_run || can_continue(rows_[*row].state);
}

void HistoryController::act(HistoryAction action) {
    if (action == A::reload) {
        reload();
        return;
    }
    const std::optional<std::int64_t> run = selected_run();
    if (!run || !enabled(action)) {
        return;
    }
    switch (action) {
        case A::open:
            if (!busy() && actions_.open_run) {
                actions_.open_run(*run);
            }
            break;
        case A::continue_run:
            if (!busy() && actions_.continue_run) {
                actions_.continue_run(*run);
            }
            break;
        case A::export_xlsx:
        case A::export_csv:
            if (!busy() && actions_.export_run) {
                actions_.export_run(*run, action == A::export_xlsx ? exporting::ExportFormat::xlsx
                                                                   : exporting::ExportFormat::csv);
            }
            break;
        case A::word_table:
            show_word_table(*run);
            break;
        case A::remove:
            remove(*run);
            break;
        case A::reload:
            break;
    }
}

void HistoryController::open_row(std::size_t row) {
    if (row < rows_.size() && !busy() && actions_.open_run) {
        actions_.open_run(rows_[row].run);
    }
}

void HistoryController::show_word_table(std::int64_t run) {
    auto loaded = journal_.load(run);
    if (!loaded) {
        say(std::string(texts::cannot_open_run) + "\n" +
            std::string(texts::reason_for(loaded.error())));
        return;
    }
    auto table = std::make_shared<research::WordTable>(research::WordTable::build(loaded->store));
    if (table->size() == 0) {
        say(texts::word_table_empty);
        return;
    }
    view_.show_word_table(std::move(table),
                          texts::fill(texts::word_table_of_run, {std::to_string(run)}));
}

bool HistoryController::busy() {
    if (!actions_.busy || !actions_.busy()) {
        return false;
    }
    say(texts::window_busy);
    return true;
}

void HistoryController::remove(std::int64_t run) {
    const auto refused = [&] {
        if (actions_.can_delete && !actions_.can_delete(run)) {
            say(std::string(texts::cannot_delete) + std::string(texts::run_in_use));
            return true;
        }
        return false;
    };
    if (refused()) {
        return;
    }
    if (say(texts::confirm_delete, {.buttons = platform::MessageButtons::yes_no}) !=
        platform::MessageResult::yes) {
        return;
    }
    // Asked again: the run may have been taken up while the question was open.
    if (refused()) {
        return;
    }
    if (auto removed = journal_.remove(run); !removed) {
        say(std::string(texts::cannot_delete) + std::string(texts::reason_for(removed.error())));
    }
    reload();
}

platform::MessageResult HistoryController::say(std::string_view text,
                                               platform::MessageStyle style) {
    return view_.say(text, style);
}

}  // namespace quorvel::shell
