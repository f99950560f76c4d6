#include "app/history_window.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "app/qt_text.h"
#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "platform/log.h"
#include "shell/history_rows.h"

namespace quorvel::app {
namespace {

using journal::JournalError;
using journal::RunInfo;
using journal::RunState;

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The window's caption, also the caption of its message boxes.
constexpr const char* window_caption = "历史记录";
constexpr const char* in_use_reason = "这次搜索的记录正在使用中";

using shell::first_kind_column;
using shell::history_column_count;
using shell::preview_column;
using shell::seeds_column;

// Why the journal refused, for the user; the journal's own message goes to the log.
QString reason_for(const JournalError& failure) {
    switch (failure.kind) {
        case JournalError::Kind::run_in_use:
            return utf8(in_use_reason);
        case JournalError::Kind::no_such_run:
            return utf8("这次搜索的记录已不存在");
        case JournalError::Kind::cannot_open:
        case JournalError::Kind::newer_version:
        case JournalError::Kind::storage_failed:
        case JournalError::Kind::not_resumable:
            break;
    }
    return utf8("历史记录读写失败");
}

QPushButton* button(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(utf8(text), parent);
    b->setObjectName(utf8(name));
    return b;
}

}  // namespace

// One row per run, its texts made once when the list is read: the view asks
// for them on every paint.
class RunListModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_runs(const std::vector<RunInfo>& runs) {
        beginResetModel();
        rows_.clear();
        rows_.reserve(runs.size());
        for (const RunInfo& run : runs) {
            Row row{run.id, run.state, {}};
            const shell::HistoryRow cells = shell::history_row(run);
            for (std::size_t column = 0; column < cells.size(); ++column) {
                row.cells[column] = utf8(cells[column]);
            }
            rows_.push_back(std::move(row));
        }
        endResetModel();
    }

    std::int64_t run_at(int row) const { return rows_[static_cast<std::size_t>(row)].id; }
    RunState state_at(int row) const { return rows_[static_cast<std::size_t>(row)].state; }

    std::optional<int> row_of(std::int64_t run) const {
        for (std::size_t row = 0; row < rows_.size(); ++row) {
            if (rows_[row].id == run) {
                return static_cast<int>(row);
            }
        }
        return std::nullopt;
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : history_column_count;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        const Row& row = rows_[static_cast<std::size_t>(index.row())];
        switch (role) {
            case Qt::DisplayRole:
                return row.cells[static_cast<std::size_t>(index.column())];
            case Qt::TextAlignmentRole:
                // Counts line up on the right, texts on the left.
                if (index.column() >= seeds_column && index.column() < preview_column) {
                    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
                }
                return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            case Qt::UserRole:
                return QVariant(static_cast<qlonglong>(row.id));
            default:
                return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= history_column_count) {
            return {};
        }
        return utf8(shell::history_column_titles[static_cast<std::size_t>(section)]);
    }

  private:
    struct Row {
        std::int64_t id = 0;
        RunState state = RunState::finished;
        std::array<QString, history_column_count> cells;
    };
    std::vector<Row> rows_;
};

HistoryWindow::HistoryWindow(journal::Journal& journal, Dialogs& dialogs, HistoryActions actions,
                             QWidget* parent)
    : QWidget(parent, Qt::Window),
      journal_(journal),
      dialogs_(dialogs),
      actions_(std::move(actions)) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(utf8(window_caption));
    resize(900, 480);

    model_ = new RunListModel(this);
    list_ = new QTableView(this);
    list_->setObjectName(QStringLiteral("runList"));
    list_->setModel(model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setWordWrap(false);
    list_->setSortingEnabled(false);
    list_->verticalHeader()->hide();
    // Fixed sizes: sizing rows or columns to their contents reads every row.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int column = 0; column < history_column_count; ++column) {
        list_->horizontalHeader()->resizeSection(
            column, shell::history_column_widths[static_cast<std::size_t>(column)]);
    }
    list_->horizontalHeader()->setStretchLastSection(true);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("historyStatus"));
    open_button_ = button(this, "openButton", "打开");
    continue_button_ = button(this, "continueButton", "继续");
    export_xlsx_button_ = button(this, "exportXlsxButton", "导出XLSX");
    export_csv_button_ = button(this, "exportCsvButton", "导出CSV");
    delete_button_ = button(this, "deleteButton", "删除");
    auto* refresh_button = button(this, "refreshButton", "刷新");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    for (QPushButton* b : {open_button_, continue_button_, export_xlsx_button_, export_csv_button_,
                           delete_button_, refresh_button}) {
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::update_buttons);
    connect(list_, &QTableView::doubleClicked, this, &HistoryWindow::open_row);
    connect(open_button_, &QPushButton::clicked, this, &HistoryWindow::open_selected);
    connect(continue_button_, &QPushButton::clicked, this, [this] {
        if (const auto run = selected_run(); run && actions_.continue_run) {
            actions_.continue_run(*run);
        }
    });
    connect(export_xlsx_button_, &QPushButton::clicked, this,
            [this] { export_selected(exporting::ExportFormat::xlsx); });
    connect(export_csv_button_, &QPushButton::clicked, this,
            [this] { export_selected(exporting::ExportFormat::csv); });
    connect(delete_button_, &QPushButton::clicked, this, &HistoryWindow::delete_selected);
    connect(refresh_button, &QPushButton::clicked, this, &HistoryWindow::reload);

    reload();
}

HistoryWindow::~HistoryWindow() = default;

std::optional<std::int64_t> HistoryWindow::selected_run() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return model_->run_at(rows.front().row());
}

bool HistoryWindow::select_run(std::int64_t run) {
    const std::optional<int> row = model_->row_of(run);
    if (!row) {
        return false;
    }
    const QModelIndex index = model_->index(*row, 0);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(index);
    return true;
}

void HistoryWindow::reload() {
    const std::optional<std::int64_t> kept = selected_run();
    auto runs = journal_.runs(journal::Journal::SeedText::opening);
    if (runs) {
        model_->set_runs(*runs);
        status_->setText(utf8("共 %1 次搜索").arg(runs->size()));
    } else {
        platform::log_warning("history: " + runs.error().message);
        model_->set_runs({});
        status_->setText(utf8("无法读取历史记录：") + reason_for(runs.error()));
    }
    if (kept) {
        select_run(*kept);
    }
    // A reset model drops its selection without saying so.
    update_buttons();
}

void HistoryWindow::update_buttons() {
    const bool selected = selected_run().has_value();
    for (QPushButton* b : {open_button_, export_xlsx_button_, export_csv_button_, delete_button_}) {
        b->setEnabled(selected);
    }
    // Only a run that ended before its last seed goes on.
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    const bool unfinished = !rows.isEmpty() && [&] {
        return shell::can_continue(model_->state_at(rows.front().row()));
    }();
    continue_button_->setEnabled(unfinished);
}

void HistoryWindow::open_selected() {
    if (const auto run = selected_run(); run && actions_.open_run) {
        actions_.open_run(*run);
    }
}

void HistoryWindow::open_row(const QModelIndex& index) {
    if (index.isValid() && actions_.open_run) {
        actions_.open_run(model_->run_at(index.row()));
    }
}

void HistoryWindow::export_selected(exporting::ExportFormat format) {
    if (const auto run = selected_run(); run && actions_.export_run) {
        actions_.export_run(*run, format);
    }
}

void HistoryWindow::delete_selected() {
    const auto run = selected_run();
    if (!run) {
        return;
    }
    const auto refused = [&] { return actions_.can_delete && !actions_.can_delete(*run); };
    if (refused()) {
        refuse_delete(utf8(in_use_reason));
        return;
    }
    const auto answer =
        dialogs_.message(this, utf8("确定删除这次搜索的记录吗？"), utf8(window_caption),
                         {.buttons = platform::MessageButtons::yes_no}, {});
    if (answer != platform::MessageResult::yes) {
        return;
    }
    // Asked again: the run may have been taken up while the question was open.
    if (refused()) {
        refuse_delete(utf8(in_use_reason));
        return;
    }
    if (auto removed = journal_.remove(*run); !removed) {
        refuse_delete(reason_for(removed.error()));
    }
    reload();
}

void HistoryWindow::refuse_delete(const QString& reason) {
    dialogs_.message(this, utf8("无法删除：") + reason, utf8(window_caption), {}, {});
}

}  // namespace quorvel::app
