#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/app_config.h"
#include "app/index_window.h"
#include "app/qt_text.h"
#include "export/export.h"
#include "harvest/harvest_run.h"
#include "harvest/keyword_source.h"
#include "platform/log.h"

namespace quorvel::app {
namespace {

QString utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename W>
W* place(QWidget* parent, std::string_view name, int x, int y, int width, int height) {
    auto* widget = new W(parent);
    widget->setObjectName(utf8(name));
    widget->setGeometry(x, y, width, height);
    return widget;
}

QPushButton* button(QWidget* parent, std::string_view name, const char* caption, QRect at) {
    auto* b = place<QPushButton>(parent, name, at.x(), at.y(), at.width(), at.height());
    b->setText(QString::fromUtf8(caption));
    return b;
}

// A result box: plain text, both scroll bars, no wrapping, no length limit,
// black on white with a shallow sunken border.
void make_result_box(QPlainTextEdit* box) {
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setMaximumBlockCount(0);
    box->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    box->setLineWidth(1);
    QPalette colours = box->palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Text, Qt::black);
    box->setPalette(colours);
}

struct Place {
    int x, y, width, height;
};

// Positions of the check boxes and result boxes, in source order.
constexpr Place check_boxes[] = {
    {129, 7, 107, 30}, {252, 7, 110, 30}, {372, 7, 105, 30}, {491, 7, 100, 30}, {612, 7, 111, 30}};
constexpr Place result_boxes[] = {{128, 35, 120, 432},
                                  {248, 35, 120, 432},
                                  {368, 34, 120, 432},
                                  {488, 33, 120, 432},
                                  {608, 33, 120, 432}};

}  // namespace

MainWindow::MainWindow(harvest::HarvestStore& store, Dialogs& dialogs,
                       harvest::MarketplaceHosts hosts, QUrl index_page, QWidget* parent)
    : QWidget(parent),
      store_(store),
      hosts_(std::move(hosts)),
      index_page_(index_page.isEmpty() ? QUrl(QString::fromUtf8(app::index_page)) : index_page) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(main_window_caption());
    setGeometry(50, 50, 741, 558);
    setFixedSize(741, 558);

    auto* panel = place<QFrame>(this, "外形框1", 0, 0, 128, 529);
    auto* label = place<QLabel>(panel, "标签1", 8, 8, 112, 24);
    label->setText(QStringLiteral("关键词"));
    place<QPlainTextEdit>(panel, harvest::seed_box, 2, 36, 123, 429);
    search_button_ = button(panel, "按钮1", "搜索", {2, 468, 124, 28});
    export_button_ = button(panel, "按钮2", "导出结果", {2, 497, 124, 28});

    for (harvest::KeywordSource source : harvest::all_sources) {
        const harvest::SourceInfo& info = harvest::info(source);
        const Place& c = check_boxes[harvest::index_of(source)];
        auto* check = place<QCheckBox>(this, info.check_box, c.x, c.y, c.width, c.height);
        check->setText(qt_from_code_page(info.caption));
        check->setChecked(false);
        const Place& r = result_boxes[harvest::index_of(source)];
        make_result_box(place<QPlainTextEdit>(this, info.result_box, r.x, r.y, r.width, r.height));
    }

    auto* index_button = button(this, "按钮5", "阿里指数查询", {328, 472, 88, 24});
    auto* help_button = button(this, "按钮3", "帮助", {624, 464, 96, 32});
    auto* download_button = button(this, "按钮4", "下载新版本", {624, 496, 96, 32});

    // The save dialog the export uses keeps its filter text and last file name here.
    auto* save_dialog = new QObject(this);
    save_dialog->setObjectName(QStringLiteral("通用对话框1"));
    save_dialog->setProperty("filter", QStringLiteral("CSV格式(.csv)|xlsx格式(.xlsx)"));
    save_dialog->setProperty("fileName", QString());

    operations_ = std::make_unique<QtWindowOperations>(
        this, dialogs, [this](std::string_view) { show_index_window(); });

    connect(search_button_, &QPushButton::clicked, this, &MainWindow::start_harvest);
    connect(export_button_, &QPushButton::clicked, this, &MainWindow::export_results);
    connect(index_button, &QPushButton::clicked, this, &MainWindow::show_index_window);
    connect(help_button, &QPushButton::clicked, this, &MainWindow::open_contact_link);
    connect(download_button, &QPushButton::clicked, this, &MainWindow::open_contact_link);
}

MainWindow::~MainWindow() {
    stop_background();
}

void MainWindow::start_harvest() {
    run_in_background(
        "harvest",
        [this](QtWindowOperations::RunView& window, std::stop_token stop) {
            harvest::start_harvest(window, store_, {.hosts = hosts_, .stop = std::move(stop)});
        },
        &MainWindow::harvest_finished);
}

void MainWindow::export_results() {
    run_in_background(
        "export",
        [this](QtWindowOperations::RunView& window, std::stop_token stop) {
            exporting::export_results(window, store_, std::move(stop));
        },
        &MainWindow::export_finished);
}

void MainWindow::run_in_background(const char* what, Work work, void (MainWindow::*finished)()) {
    if (worker_.joinable()) {
        return;
    }
    set_running(true);
    finished_ = finished;
    const quint64 generation = ++generation_;
    worker_ = std::jthread([this, what, work = std::move(work), generation](std::stop_token stop) {
        QtWindowOperations::RunView window = operations_->for_run(stop);
        // The thread's edge: nothing escapes it, and the window always hears
        // that the run is over.
        try {
            work(window, stop);
        } catch (const std::exception& error) {
            platform::log_error(std::string(what) + " failed: " + error.what());
        } catch (...) {
            platform::log_error(std::string(what) + " failed with an unknown error");
        }
        QMetaObject::invokeMethod(this, "finish_background", Qt::QueuedConnection,
                                  Q_ARG(quint64, generation));
    });
}

void MainWindow::finish_background(quint64 generation) {
    if (generation != generation_ || !worker_.joinable()) {
        return;  // a run that was stopped and waited for already
    }
    worker_.join();
    end_background();
}

void MainWindow::stop_background() {
    if (!worker_.joinable()) {
        return;
    }
    worker_.request_stop();
    worker_.join();
    end_background();
}

void MainWindow::end_background() {
    operations_->flush();
    set_running(false);
    if (auto finished = std::exchange(finished_, nullptr)) {
        emit(this->*finished)();
    }
}

void MainWindow::set_running(bool running) {
    search_button_->setEnabled(!running);
    export_button_->setEnabled(!running);
}

void MainWindow::show_index_window() {
    if (index_window_ == nullptr) {
        index_window_ = new IndexWindow(index_page_);
        index_window_->setAttribute(Qt::WA_DeleteOnClose);
    }
    index_window_->show();
    index_window_->raise();
    index_window_->activateWindow();
}

void MainWindow::open_contact_link() {
    operations_->for_run({}).open_with_shell(code_page_from_qt(QString::fromUtf8(contact_link)));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    stop_background();
    if (index_window_ != nullptr) {
        index_window_->close();
    }
    // With the index window closed too, the last window is gone and the program ends.
    event->accept();
}

}  // namespace quorvel::app
