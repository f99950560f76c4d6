#include "app/qt_window_operations.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>
#include <QWidget>
#include <chrono>
#include <future>
#include <map>
#include <memory>

#include "app/qt_text.h"

namespace quorvel::app {
namespace {

// How long queued text changes wait, so that many words go in one insert
// while the boxes still visibly grow.
constexpr int flush_delay_ms = 40;

QString name_of(std::string_view control) {
    return QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size()));
}

// Edit boxes hold lines separated by line feeds; the program's texts use CR LF.
QString widget_text(std::string_view text) {
    QString converted = qt_from_code_page(text);
    converted.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return converted;
}

}  // namespace

QtWindowOperations::QtWindowOperations(QWidget* root, Dialogs& dialogs,
                                       std::function<void(std::string_view)> show_window)
    : root_(root), dialogs_(dialogs), show_window_(std::move(show_window)) {}

void QtWindowOperations::shut_down() {
    shut_down_.store(true);
}

bool QtWindowOperations::on_gui_thread_now() const {
    return QThread::currentThread() == thread();
}

template <typename R, typename F>
R QtWindowOperations::on_gui_thread(F&& work, R fallback) {
    if (on_gui_thread_now()) {
        return work();
    }
    if (shut_down_.load()) {
        return fallback;
    }
    auto answer = std::make_shared<std::promise<R>>();
    std::future<R> result = answer->get_future();
    QMetaObject::invokeMethod(
        this,
        [this, answer, work = std::forward<F>(work), fallback]() mutable {
            answer->set_value(shut_down_.load() ? fallback : work());
        },
        Qt::QueuedConnection);
    // Wait for the answer, but give up once the window is closing: the GUI
    // thread may then be waiting for this thread to finish.
    while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        if (shut_down_.load()) {
            return fallback;
        }
    }
    return result.get();
}

QWidget* QtWindowOperations::control(const QString& name) const {
    if (root_ == nullptr) {
        return nullptr;
    }
    return root_->findChild<QWidget*>(name);
}

void QtWindowOperations::queue(Change change) {
    const bool here = on_gui_thread_now();
    if (!here && shut_down_.load()) {
        return;
    }
    bool schedule = false;
    {
        std::lock_guard guard(mutex_);
        pending_.push_back(std::move(change));
        if (!here && !flush_scheduled_) {
            flush_scheduled_ = true;
            schedule = true;
        }
    }
    if (here) {
        flush();
    } else if (schedule) {
        QMetaObject::invokeMethod(
            this, [this] { QTimer::singleShot(flush_delay_ms, this, [this] { flush(); }); },
            Qt::QueuedConnection);
    }
}

void QtWindowOperations::flush() {
    std::vector<Change> changes;
    {
        std::lock_guard guard(mutex_);
        changes.swap(pending_);
        flush_scheduled_ = false;
    }
    if (changes.empty()) {
        return;
    }
    QElapsedTimer timer;
    timer.start();
    // Consecutive appends to one box become one insert.
    std::map<QString, std::string> appends;
    std::vector<QString> order;
    auto apply_appends = [&] {
        for (const QString& name : order) {
            if (auto* box = qobject_cast<QPlainTextEdit*>(control(name))) {
                box->moveCursor(QTextCursor::End);
                box->insertPlainText(widget_text(appends[name]));
                box->ensureCursorVisible();
            }
        }
        appends.clear();
        order.clear();
    };
    for (Change& change : changes) {
        if (change.replace) {
            apply_appends();
            if (auto* box = qobject_cast<QPlainTextEdit*>(control(change.control))) {
                box->setPlainText(widget_text(change.text));
            }
            continue;
        }
        auto [it, inserted] = appends.try_emplace(change.control);
        if (inserted) {
            order.push_back(change.control);
        }
        it->second += change.text;
    }
    apply_appends();
    update_ns_ += timer.nsecsElapsed();
}

bool QtWindowOperations::read_checked(std::string_view control_name) {
    return on_gui_thread(
        [this, name = name_of(control_name)] {
            auto* box = qobject_cast<QCheckBox*>(control(name));
            return box != nullptr && box->isChecked();
        },
        false);
}

std::string QtWindowOperations::read_text(std::string_view control_name) {
    return on_gui_thread(
        [this, name = name_of(control_name)] {
            flush();
            auto* box = qobject_cast<QPlainTextEdit*>(control(name));
            if (box == nullptr) {
                return std::string();
            }
            QString text = box->toPlainText();
            text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
            return code_page_from_qt(text);
        },
        std::string());
}

void QtWindowOperations::set_text(std::string_view control_name, std::string_view text) {
    queue({name_of(control_name), std::string(text), true});
}

void QtWindowOperations::append_text(std::string_view control_name, std::string_view text) {
    queue({name_of(control_name), std::string(text), false});
}

platform::MessageResult QtWindowOperations::show_message(std::string_view text,
                                                         platform::MessageStyle style,
                                                         std::string_view caption) {
    return on_gui_thread(
        [this, text = qt_from_code_page(text), caption = qt_from_code_page(caption), style] {
            flush();
            if (shut_down_.load()) {
                return platform::MessageResult::ok;
            }
            return dialogs_.message(root_, text, caption, style);
        },
        platform::MessageResult::ok);
}

bool QtWindowOperations::input_pending() {
    // The harvest runs off the GUI thread, which handles input by itself.
    return false;
}

void QtWindowOperations::pump_messages() {
    if (on_gui_thread_now()) {
        QCoreApplication::processEvents();
    }
}

std::optional<std::string> QtWindowOperations::show_save_dialog(std::string_view dialog,
                                                                std::string_view filter,
                                                                std::string_view default_extension,
                                                                std::string_view title) {
    return on_gui_thread(
        [this, name = name_of(dialog), filter = qt_from_code_page(filter),
         extension = qt_from_code_page(default_extension), title = qt_from_code_page(title)] {
            // "Description|pattern|Description|pattern" as Qt's "Description (pattern);;...".
            // A pattern already shown in a description is replaced by the real one,
            // since Qt takes the patterns from the parentheses.
            const QStringList parts = filter.split(u'|');
            QStringList filters;
            for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
                QString description = parts[i];
                if (description.endsWith(u')') && description.contains(u'(')) {
                    description.truncate(description.lastIndexOf(u'('));
                }
                filters << description.trimmed() + QStringLiteral(" (") + parts[i + 1] + u')';
            }
            QObject* holder = root_ != nullptr ? root_->findChild<QObject*>(name) : nullptr;
            const QString last =
                holder != nullptr ? holder->property("fileName").toString() : QString();
            std::optional<QString> chosen = dialogs_.save_file(
                root_, title, filters.join(QStringLiteral(";;")), extension, last);
            if (!chosen) {
                return std::optional<std::string>();
            }
            if (holder != nullptr) {
                holder->setProperty("fileName", *chosen);
            }
            return std::optional<std::string>(code_page_from_qt(*chosen));
        },
        std::optional<std::string>());
}

void QtWindowOperations::open_with_shell(std::string_view target) {
    on_gui_thread(
        [target = qt_from_code_page(target)] {
            QDesktopServices::openUrl(QUrl::fromUserInput(target));
            return true;
        },
        false);
}

void QtWindowOperations::show_window(std::string_view window) {
    on_gui_thread(
        [this, window = std::string(window)] {
            if (show_window_) {
                show_window_(window);
            }
            return true;
        },
        false);
}

void QtWindowOperations::navigate(std::string_view browser, std::string_view address) {
    on_gui_thread(
        [name = name_of(browser), address = qt_from_code_page(address)] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* view = top->objectName() == name ? qobject_cast<QWebEngineView*>(top)
                                                       : top->findChild<QWebEngineView*>(name);
                if (view != nullptr) {
                    view->setUrl(QUrl(address));
                    return true;
                }
            }
            return false;
        },
        false);
}

}  // namespace quorvel::app
