#include "app/history_window.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <array>
#include <utility>
#include <vector>

#include "app/qt_text.h"
#include "app/word_table_window.h"
#include "shell/texts.h"

namespace quorvel::app {

using shell::history_column_count;
using shell::preview_column;
using shell::seeds_column;

// One row per run, its texts made once when the list is read: the view asks
// for them on every paint.
class RunListModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_rows(const std::vector<shell::HistoryEntry>& entries) {
        beginResetModel();
        rows_.clear();
        rows_.reserve(entries.size());
        for (const shell::HistoryEntry& entry : entries) {
            Row row{entry.run, {}};
            for (std::size_t column = 0; column < entry.cells.size(); ++column) {
                row.cells[column] = qt_from_utf8(entry.cells[column]);
            }
            rows_.push_back(std::move(row));
        }
        endResetModel();
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
        return qt_from_utf8(shell::history_column_titles[static_cast<std::size_t>(section)]);
    }

  private:
    struct Row {
        std::int64_t id = 0;
        std::array<QString, history_column_count> cells;
    };
    std::vector<Row> rows_;
};

HistoryWindow::HistoryWindow(journal::Journal& journal, Dialogs& dialogs,
                             shell::HistoryActions actions, QWidget* parent)
    : QWidget(parent, Qt::Window),
      dialogs_(dialogs),
      controller_(journal, std::move(actions), *this) {
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(qt_from_utf8(shell::texts::history_caption));
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
    auto* row = new QHBoxLayout;
    row->addWidget(status_, 1);
    for (const shell::HistoryButton& entry : shell::history_buttons()) {
        auto* b = new QPushButton(qt_from_utf8(entry.caption), this);
        b->setObjectName(qt_from_utf8(entry.name));
        connect(b, &QPushButton::clicked, this,
                [this, action = entry.action] { controller_.act(action); });
        row->addWidget(b);
        buttons_.emplace_back(entry.action, b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(row);

    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::update_buttons);
    connect(list_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) {
            controller_.open_row(static_cast<std::size_t>(index.row()));
        }
    });
    reload();
}

HistoryWindow::~HistoryWindow() = default;

bool HistoryWindow::select_run(std::int64_t run) {
    const std::optional<std::size_t> row = controller_.row_of(run);
    if (row) {
        select_row(*row);
    }
    return row.has_value();
}

void HistoryWindow::select_row(std::size_t row) {
    const QModelIndex index = model_->index(static_cast<int>(row), 0);
    list_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list_->scrollTo(index);
}

platform::MessageResult HistoryWindow::say(std::string_view text, platform::MessageStyle style) {
    return dialogs_.message(this, qt_from_utf8(text), qt_from_utf8(shell::texts::history_caption),
                            style, {});
}

std::optional<std::size_t> HistoryWindow::selected_row() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(rows.front().row());
}

void HistoryWindow::rows_changed(std::optional<std::size_t> row) {
    model_->set_rows(controller_.rows());
    status_->setText(qt_from_utf8(controller_.status()));
    if (row) {
        select_row(*row);
    }
    // A reset model drops its selection without saying so.
    update_buttons();
}

void HistoryWindow::show_word_table(std::shared_ptr<const research::WordTable> table,
                                    std::string title) {
    QWidget* owner = parentWidget() != nullptr ? parentWidget() : this;
    auto* window = new WordTableWindow(std::move(table), qt_from_utf8(title), dialogs_, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
}

void HistoryWindow::update_buttons() {
    for (const auto& [action, b] : buttons_) {
        b->setEnabled(controller_.enabled(action));
    }
}

}  // namespace quorvel::app
