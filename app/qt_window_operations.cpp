#include "app/qt_window_operations.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QThread>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>
#include <condition_variable>
#include <exception>
#include <map>
#include <memory>
#include <optional>

#include "app/qt_text.h"
#include "platform/log.h"

namespace quorvel::app {
namespace {

// How long queued text changes wait, so that many words go in one insert
// while the boxes still visibly grow.
constexpr int flush_delay_ms = 40;

QString name_of(std::string_view control) {
    return qt_from_utf8(control);
}

// Edit boxes hold lines separated by line feeds; the program's texts use CR LF.
QString widget_text(std::string_view text) {
    QString converted = qt_from_code_page(text);
    converted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return converted;
}

// The characters QTextDocument::toPlainText turns into line feeds.
bool shown_as_line_feed(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QChar(0xFDD0) ||
           c == QChar(0xFDD1);
}

bool breaks_line(QChar c) {
    return c == u'\n' || c == u'\r' || shown_as_line_feed(c);
}

}  // namespace

void QtWindowOperations::LineTally::add(const QString& text) {
    // As text is inserted, a line feed or a lone carriage return starts a new block.
    for (const QChar c : text) {
        feeds += breaks_line(c) ? 1 : 0;
    }
    if (!text.isEmpty()) {
        open = !breaks_line(text.back());
    }
}

void QtWindowOperations::LineTally::add(const std::string& text) {
    add(widget_text(text));
}

// The edit boxes as the text batch applies its changes. Appends go in at the
// end of the text, wherever the user has put the caret.
class QtWindowOperations::Boxes {
  public:
    explicit Boxes(QtWindowOperations& operations) : ops_(operations) {}

    void replace(const std::string& control, const std::string& text) {
        if (auto* box = qobject_cast<QPlainTextEdit*>(ops_.control(name_of(control)))) {
            box->setPlainText(widget_text(text));
        }
    }

    void append(const std::string& control, const std::string& code_page_text) {
        auto* box = qobject_cast<QPlainTextEdit*>(ops_.control(name_of(control)));
        if (box == nullptr) {
            return;
        }
        const QString text = widget_text(code_page_text);
        const QTextDocument* document = box->document();
        ops_.appending_to_ = document;
        box->moveCursor(QTextCursor::End);
        box->insertPlainText(text);
        box->ensureCursorVisible();
        ops_.appending_to_ = nullptr;
        // The insert alone changed the document, unless a block limit
        // dropped lines from its top.
        auto known = ops_.separators_.find(document);
        if (known != ops_.separators_.end() && known->second.known) {
            if (document->maximumBlockCount() > 0) {
                known->second.known = false;
            } else {
                known->second.count += text.count(QChar::LineSeparator);
            }
        }
    }

    LineTally tally(const std::string& control) { return ops_.document_lines(name_of(control)); }

  private:
    QtWindowOperations& ops_;
};

QtWindowOperations::QtWindowOperations(QWidget* root, Dialogs& dialogs,
                                       std::function<void(std::string_view)> show_window)
    : root_(root),
      dialogs_(dialogs),
      show_window_(std::move(show_window)),
      thread_([this] { QMetaObject::invokeMethod(this, "run_tasks", Qt::QueuedConnection); }) {
    flush_timer_.setSingleShot(true);
    connect(&flush_timer_, &QTimer::timeout, this, &QtWindowOperations::flush);
    // Each check box's state is published as it changes, so a run reads it
    // without a trip to the GUI thread (a harvest asks several times a seed).
    if (root_ != nullptr) {
        for (QCheckBox* box : root_->findChildren<QCheckBox*>()) {
            auto& state = checked_.try_emplace(box->objectName(), box->isChecked()).first->second;
            connect(box, &QCheckBox::toggled, this, [&state](bool on) { state = on; });
        }
        // Each edit box's line count likewise, as its document changes.
        for (QPlainTextEdit* box : root_->findChildren<QPlainTextEdit*>()) {
            const QString name = box->objectName();
            batch_.count_lines(name.toStdString(), document_lines(name));
            connect(box->document(), &QTextDocument::contentsChanged, this,
                    [this, name] { publish_lines(name); });
        }
    }
}

void QtWindowOperations::run_tasks() {
    thread_.run_tasks();
}

QWidget* QtWindowOperations::control(const QString& name) const {
    if (root_ == nullptr) {
        return nullptr;
    }
    return root_->findChild<QWidget*>(name);
}

void QtWindowOperations::queue(std::string_view control, std::string_view text, bool replace) {
    const bool ask = batch_.queue({std::string(control), std::string(text), replace});
    if (thread_.here()) {
        flush();
    } else if (ask) {
        QMetaObject::invokeMethod(this, "schedule_flush", Qt::QueuedConnection);
    }
}

void QtWindowOperations::schedule_flush() {
    if (!flush_timer_.isActive()) {
        flush_timer_.start(flush_delay_ms);
    }
}

void QtWindowOperations::flush() {
    QElapsedTimer timer;
    timer.start();
    Boxes boxes(*this);
    if (batch_.flush(boxes)) {
        update_ns_ += timer.nsecsElapsed();
    }
}

// ---- the work done on the GUI thread ------------------------------------------

bool QtWindowOperations::do_read_checked(const QString& name) const {
    auto* box = qobject_cast<QCheckBox*>(control(name));
    return box != nullptr && box->isChecked();
}

std::string QtWindowOperations::do_read_text(const QString& name) {
    flush();
    auto* box = qobject_cast<QPlainTextEdit*>(control(name));
    if (box == nullptr) {
        return {};
    }
    QString text = box->toPlainText();
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return code_page_from_qt(text);
}

QtWindowOperations::LineTally QtWindowOperations::document_lines(const QString& name) {
    auto* box = qobject_cast<QPlainTextEdit*>(control(name));
    if (box == nullptr) {
        return {};
    }
    // The plain text has a line feed for each block break and each line
    // separator; the count adds one for a last line not ending in either.
    // characterCount includes the separator that ends the last block.
    const QTextDocument* document = box->document();
    const int characters = document->characterCount();
    LineTally tally;
    if (characters > 1) {
        tally.feeds = document->blockCount() - 1 + static_cast<int>(line_separators(document));
        tally.open = !shown_as_line_feed(document->characterAt(characters - 2));
    }
    return tally;
}

void QtWindowOperations::publish_lines(const QString& name) {
    if (!batch_.flushing()) {
        batch_.recount(name.toStdString(), document_lines(name));
    }
}

qsizetype QtWindowOperations::line_separators(const QTextDocument* document) {
    auto [it, added] = separators_.try_emplace(document);
    if (added) {
        connect(document, &QTextDocument::contentsChange, this, [this, document] {
            auto changed = separators_.find(document);
            if (document != appending_to_ && changed != separators_.end()) {
                changed->second.known = false;
            }
        });
        connect(document, &QObject::destroyed, this,
                [this, document] { separators_.erase(document); });
    }
    SeparatorCount& separators = it->second;
    if (!separators.known) {
        separators.count = 0;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            separators.count += block.text().count(QChar::LineSeparator);
        }
        separators.known = true;
    }
    return separators.count;
}

platform::MessageResult QtWindowOperations::do_show_message(const QString& text,
                                                            const QString& caption,
                                                            platform::MessageStyle style,
                                                            const std::stop_token& stop,
                                                            MessageCheck* check) {
    flush();
    return dialogs_.message(root_, text, caption, style, stop, check);
}

std::optional<std::string> QtWindowOperations::do_save_dialog(const QString& name,
                                                              const QString& filter,
                                                              const QString& extension,
                                                              const QString& title,
                                                              const std::stop_token& stop) {
    QObject* holder = root_ != nullptr ? root_->findChild<QObject*>(name) : nullptr;
    const QString last = holder != nullptr ? holder->property("fileName").toString() : QString();
    std::optional<QString> chosen =
        dialogs_.save_file(root_, title, qt_file_filters(filter), extension, last, stop);
    if (!chosen) {
        return std::nullopt;
    }
    if (holder != nullptr) {
        holder->setProperty("fileName", *chosen);
    }
    return code_page_from_qt(*chosen);
}

void QtWindowOperations::do_open(const QString& target) {
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

bool QtWindowOperations::do_navigate(const QString& name, const QString& address) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* view = top->objectName() == name ? qobject_cast<QWebEngineView*>(top)
                                               : top->findChild<QWebEngineView*>(name);
        if (view != nullptr) {
            view->setUrl(QUrl(address));
            return true;
        }
    }
    return false;
}

// ---- the operations of a run ------------------------------------------------------

bool QtWindowOperations::RunView::read_checked(std::string_view control) {
    if (auto known = operations_.checked_.find(name_of(control));
        known != operations_.checked_.end()) {
        return known->second.load();
    }
    return operations_.thread_.call(
        stop_, [&ops = operations_, name = name_of(control)] { return ops.do_read_checked(name); },
        false);
}

std::string QtWindowOperations::RunView::read_text(std::string_view control) {
    return operations_.thread_.call(
        stop_, [&ops = operations_, name = name_of(control)] { return ops.do_read_text(name); },
        std::string());
}

platform::MessageResult QtWindowOperations::RunView::ask(const QString& text,
                                                         platform::MessageStyle style,
                                                         const QString& caption) {
    return operations_.thread_.call(
        stop_,
        [&ops = operations_, text, caption, style, stop = stop_] {
            return ops.do_show_message(text, caption, style, stop);
        },
        platform::MessageResult::cancel);
}

platform::MessageResult QtWindowOperations::RunView::ask(std::string_view text,
                                                         platform::MessageStyle style,
                                                         std::string_view caption) {
    return ask(qt_from_code_page(text), style, qt_from_code_page(caption));
}

bool QtWindowOperations::RunView::wait_until(
    const std::function<void(std::function<void()> done)>& start) {
    if (operations_.thread_.here()) {
        return false;  // waiting here would hold up what it waits for
    }
    auto over = std::make_shared<shell::WindowThreadAnswer<bool>>();
    const bool started = operations_.thread_.call(
        stop_,
        [start, over] {
            start([over] {
                {
                    std::lock_guard guard(over->mutex);
                    over->done = true;
                }
                over->ready.notify_all();
            });
            return true;
        },
        false);
    if (!started) {
        return false;
    }
    std::unique_lock lock(over->mutex);
    return over->ready.wait(lock, stop_, [&over] { return over->done; });
}

int QtWindowOperations::RunView::line_count(std::string_view control) {
    return operations_.batch_.line_count(control).value_or(0);
}

void QtWindowOperations::RunView::set_text(std::string_view control, std::string_view text) {
    operations_.queue(control, text, true);
}

void QtWindowOperations::RunView::append_text(std::string_view control, std::string_view text) {
    operations_.queue(control, text, false);
}

std::pair<platform::MessageResult, bool> QtWindowOperations::RunView::ask_with_check(
    std::string_view text, platform::MessageStyle style, std::string_view caption,
    std::string_view check) {
    return operations_.thread_.call(
        stop_,
        [&ops = operations_, text = qt_from_code_page(text), caption = qt_from_code_page(caption),
         check = qt_from_utf8(check), style, stop = stop_] {
            MessageCheck box{check};
            const platform::MessageResult answer =
                ops.do_show_message(text, caption, style, stop, &box);
            return std::pair{answer, box.checked};
        },
        std::pair{platform::MessageResult::cancel, false});
}

bool QtWindowOperations::RunView::input_pending() {
    // A run works off the GUI thread, which handles input by itself.
    return false;
}

void QtWindowOperations::RunView::pump_messages() {
    if (operations_.thread_.here()) {
        QCoreApplication::processEvents();
    }
}

std::optional<std::string> QtWindowOperations::RunView::show_save_dialog(
    std::string_view dialog, std::string_view filter, std::string_view default_extension,
    std::string_view title) {
    return operations_.thread_.call(
        stop_,
        [&ops = operations_, name = name_of(dialog), filter = qt_from_code_page(filter),
         extension = qt_from_code_page(default_extension), title = qt_from_code_page(title),
         stop = stop_] { return ops.do_save_dialog(name, filter, extension, title, stop); },
        std::optional<std::string>());
}

void QtWindowOperations::RunView::open_with_shell(std::string_view target) {
    operations_.thread_.call(
        stop_,
        [&ops = operations_, target = qt_from_code_page(target)] {
            ops.do_open(target);
            return true;
        },
        false);
}

void QtWindowOperations::RunView::show_window(std::string_view window) {
    operations_.thread_.call(
        stop_,
        [&ops = operations_, window = std::string(window)] {
            if (ops.show_window_) {
                ops.show_window_(window);
            }
            return true;
        },
        false);
}

void QtWindowOperations::RunView::navigate(std::string_view browser, std::string_view address) {
    operations_.thread_.call(
        stop_,
        [&ops = operations_, name = name_of(browser), address = qt_from_code_page(address)] {
            return ops.do_navigate(name, address);
        },
        false);
}

}  // namespace quorvel::app
