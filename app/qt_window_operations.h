#pragma once
// The window operations over Qt widgets, safe to call from the harvest's
// worker thread: reads and message boxes wait for the GUI thread's answer,
// text changes are queued in order and applied in batches, so a long harvest
// neither floods nor freezes the window.

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "platform/window_operations.h"

class QWidget;

namespace quorvel::app {

class QtWindowOperations : public QObject, public platform::WindowOperations {
    Q_OBJECT

  public:
    // `root` holds the controls (found by object name); `show_window` opens a
    // secondary window by name.
    QtWindowOperations(QWidget* root, Dialogs& dialogs,
                       std::function<void(std::string_view)> show_window);

    // From now on calls from other threads return at once with empty answers
    // and nothing more is shown: for closing the window during a harvest.
    void shut_down();
    bool is_shut_down() const { return shut_down_.load(); }

    // Applies every queued text change now (GUI thread).
    void flush();

    // Time the GUI thread has spent applying queued text changes, in ns.
    std::int64_t gui_update_nanoseconds() const { return update_ns_.load(); }

    bool read_checked(std::string_view control) override;
    std::string read_text(std::string_view control) override;
    void set_text(std::string_view control, std::string_view text) override;
    void append_text(std::string_view control, std::string_view text) override;
    using platform::WindowOperations::show_message;
    platform::MessageResult show_message(std::string_view text, platform::MessageStyle style,
                                         std::string_view caption) override;
    bool input_pending() override;
    void pump_messages() override;
    std::optional<std::string> show_save_dialog(std::string_view dialog, std::string_view filter,
                                                std::string_view default_extension,
                                                std::string_view title) override;
    void open_with_shell(std::string_view target) override;
    void show_window(std::string_view window) override;
    void navigate(std::string_view browser, std::string_view address) override;

  private:
    struct Change {
        QString control;
        std::string text;
        bool replace = false;
    };

    template <typename R, typename F>
    R on_gui_thread(F&& work, R fallback);
    bool on_gui_thread_now() const;
    void queue(Change change);
    QWidget* control(const QString& name) const;

    QPointer<QWidget> root_;
    Dialogs& dialogs_;
    std::function<void(std::string_view)> show_window_;
    std::atomic<bool> shut_down_{false};
    std::atomic<std::int64_t> update_ns_{0};
    std::mutex mutex_;
    std::vector<Change> pending_;
    bool flush_scheduled_ = false;
};

}  // namespace quorvel::app
