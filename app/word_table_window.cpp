#include "app/word_table_window.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <span>
#include <utility>

#include "app/qt_text.h"
#include "research/roots.h"
#include "research/word_export.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

using research::Column;
using research::RootColumn;

constexpr std::array<int, research::column_count> word_widths{200, 70, 150, 130, 50, 50};
constexpr std::array<int, research::root_column_count> root_widths{100, 50, 90, 70};

QVariant aligned(bool number) {
    return QVariant::fromValue(
        Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
}

QTableView* table_view(QWidget* parent, const QString& name, QAbstractItemModel* model,
                       std::span<const int> widths) {
    auto* view = new QTableView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setWordWrap(false);
    view->setSortingEnabled(false);
    view->verticalHeader()->hide();
    // Fixed sizes: sizing rows or columns to their contents reads every row.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
    for (std::size_t column = 0; column < widths.size(); ++column) {
        view->horizontalHeader()->resizeSection(static_cast<int>(column), widths[column]);
    }
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

// The shown rows of the controller, each cell made as the view asks for it.
class WordModel : public QAbstractTableModel {
  public:
    WordModel(const shell::WordTableController& controller, QObject* parent)
        : QAbstractTableModel(parent), controller_(controller) {}

    // Runs `change` to the controller as a reset of the whole model.
    template <typename Change>
    void reset(Change&& change) {
        beginResetModel();
        change();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(controller_.shown().size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(research::column_count);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        const auto column = static_cast<Column>(index.column());
        switch (role) {
            case Qt::DisplayRole:
                return qt_from_utf8(
                    controller_.cell(static_cast<std::size_t>(index.row()), column));
            case Qt::TextAlignmentRole:
                return aligned(column == Column::results || column == Column::times ||
                               column == Column::length);
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= columnCount()) {
            return {};
        }
        return qt_from_utf8(research::column_title(static_cast<Column>(section)));
    }

  private:
    const shell::WordTableController& controller_;
};

// The roots, once they are cut.
class RootModel : public QAbstractTableModel {
  public:
    using QAbstractTableModel::QAbstractTableModel;

    void set_roots(const std::vector<research::RootEntry>* roots) {
        beginResetModel();
        roots_ = roots;
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || roots_ == nullptr ? 0 : static_cast<int>(roots_->size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(research::root_column_count);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        const auto column = static_cast<RootColumn>(index.column());
        switch (role) {
            case Qt::DisplayRole:
                return qt_from_utf8(research::root_cell_text(
                    (*roots_)[static_cast<std::size_t>(index.row())], column));
            case Qt::TextAlignmentRole:
                return aligned(column != RootColumn::root);
            default:
                return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= columnCount()) {
            return {};
        }
        return qt_from_utf8(research::root_column_title(static_cast<RootColumn>(section)));
    }

  private:
    const std::vector<research::RootEntry>* roots_ = nullptr;
};

WordTableWindow::WordTableWindow(std::shared_ptr<const research::WordTable> table,
                                 const QString& title, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), controller_(std::move(table)) {
    setObjectName(QStringLiteral("WordTableWindow"));
    setWindowTitle(title);
    resize(1100, 640);
    namespace texts = shell::texts;

    include_ = new QLineEdit(this);
    include_->setObjectName(QStringLiteral("includeEdit"));
    include_->setClearButtonEnabled(true);
    exclude_ = new QLineEdit(this);
    exclude_->setObjectName(QStringLiteral("excludeEdit"));
    exclude_->setClearButtonEnabled(true);
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(qt_from_utf8(texts::include_label), this));
    filters->addWidget(include_, 1);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(qt_from_utf8(texts::exclude_label), this));
    filters->addWidget(exclude_, 1);

    words_ = new WordModel(controller_, this);
    word_view_ = table_view(this, QStringLiteral("wordTable"), words_, word_widths);
    QHeaderView* headings = word_view_->horizontalHeader();
    // The controller sorts: the heading only shows its order and hands on clicks.
    headings->setSectionsClickable(true);
    headings->setSortIndicatorShown(true);
    connect(headings, &QHeaderView::sectionClicked, this, [this](int section) {
        words_->reset([&] { controller_.sort_by(static_cast<Column>(section)); });
        rows_changed();
    });
    word_view_->installEventFilter(this);

    roots_ = new RootModel(this);
    root_view_ = table_view(this, QStringLiteral("rootTable"), roots_, root_widths);
    root_view_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(root_view_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { root_clicked(index.row()); });
    roots_unavailable_ = new QLabel(this);
    roots_unavailable_->setObjectName(QStringLiteral("rootsUnavailable"));
    roots_unavailable_->setWordWrap(true);
    roots_unavailable_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    roots_unavailable_->hide();
    auto* root_side = new QWidget(this);
    auto* root_column = new QVBoxLayout(root_side);
    root_column->setContentsMargins(0, 0, 0, 0);
    root_column->addWidget(new QLabel(qt_from_utf8(texts::roots_caption), root_side));
    root_column->addWidget(root_view_, 1);
    root_column->addWidget(roots_unavailable_, 1);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(word_view_);
    split->addWidget(root_side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({720, 380});

    count_line_ = new QLabel(this);
    count_line_->setObjectName(QStringLiteral("countLine"));
    count_line_->setTextFormat(Qt::PlainText);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(count_line_, 1);
    auto add_button = [&](const char* name, std::string_view caption,
                          void (WordTableWindow::*act)()) {
        auto* b = new QPushButton(qt_from_utf8(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        connect(b, &QPushButton::clicked, this, act);
        bottom->addWidget(b);
        return b;
    };
    add_button("copyButton", texts::copy_words, &WordTableWindow::copy_selected);
    add_button("exportWordsButton", texts::export_words, &WordTableWindow::export_words);
    export_roots_ =
        add_button("exportRootsButton", texts::export_roots, &WordTableWindow::export_roots);
    export_roots_->setEnabled(false);  // until the roots are cut

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(split, 1);
    layout->addLayout(bottom);

    connect(include_, &QLineEdit::textChanged, this, [this](const QString& text) {
        words_->reset([&] { controller_.set_include(utf8(text)); });
        rows_changed();
    });
    connect(exclude_, &QLineEdit::textChanged, this, [this](const QString& text) {
        words_->reset([&] { controller_.set_exclude(utf8(text)); });
        rows_changed();
    });
    rows_changed();
    include_->setFocus();
}

WordTableWindow::~WordTableWindow() = default;

void WordTableWindow::rows_changed() {
    const research::SortOrder order = controller_.order();
    word_view_->horizontalHeader()->setSortIndicator(
        static_cast<int>(order.column),
        order.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    count_line_->setText(qt_from_utf8(controller_.count_line()));
}

void WordTableWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!roots_shown_) {
        roots_shown_ = true;
        show_roots();
    }
}

void WordTableWindow::show_roots() {
    const auto& roots = controller_.roots();
    if (roots) {
        roots_->set_roots(&*roots);
        export_roots_->setEnabled(true);
        return;
    }
    root_view_->hide();
    roots_unavailable_->setText(qt_from_utf8(shell::texts::roots_unavailable) +
                                qt_from_utf8(roots.error()));
    roots_unavailable_->show();
}

void WordTableWindow::root_clicked(int row) {
    if (row < 0) {
        return;
    }
    words_->reset([&] { controller_.filter_by_root(static_cast<std::size_t>(row)); });
    if (!controller_.root_filter()) {
        root_view_->clearSelection();
    }
    rows_changed();
}

bool WordTableWindow::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+C in the table copies the selected rows' words, not the current cell.
    if (watched == word_view_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copy_selected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WordTableWindow::copy_selected() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : word_view_->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(index.row()));
    }
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    QApplication::clipboard()->setText(qt_from_utf8(controller_.copied(rows)));
}

std::optional<QString> WordTableWindow::ask_path(std::string_view title) {
    std::optional<QString> chosen = dialogs_.save_file(
        this, qt_from_utf8(title), qt_file_filters(qt_from_utf8(shell::texts::word_export_filter)),
        QStringLiteral("xlsx"), last_path_, {});
    if (chosen) {
        last_path_ = *chosen;
    }
    return chosen;
}

void WordTableWindow::tell_failure(const QString& text) {
    dialogs_.message(this, text, qt_from_utf8(shell::texts::word_table_caption), {}, {});
}

void WordTableWindow::export_words() {
    const std::optional<QString> path = ask_path(shell::texts::export_words);
    if (!path) {
        return;
    }
    auto written = controller_.export_shown(code_page_from_qt(*path));
    if (!written) {
        tell_failure(qt_from_utf8(written.error()));  // "文件无法保存：" and why
    }
}

void WordTableWindow::export_roots() {
    const std::optional<QString> path = ask_path(shell::texts::export_roots);
    if (!path) {
        return;
    }
    if (auto written = controller_.export_roots(code_page_from_qt(*path)); !written) {
        tell_failure(qt_from_utf8(written.error()));
    }
}

}  // namespace quorvel::app
