#pragma once
// The window operations over Qt widgets, safe to call from a run's worker
// thread: reads, message boxes and the save dialog wait for the GUI thread's
// answer, or for the run's stop request, whichever comes first; text changes
// are queued in order and applied in batches, so a long harvest neither
// floods nor freezes the window. Work crosses threads only through this
// object's own mutex-guarded queues; Qt is asked merely to wake the GUI
// thread, by slot name.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/dialogs.h"
#include "platform/window_operations.h"
#include "shell/run_controller.h"
#include "shell/text_batch.h"
#include "shell/window_thread.h"

class QTextDocument;
class QWidget;

namespace quorvel::app {

class QtWindowOperations : public QObject {
    Q_OBJECT

  public:
    // `root` holds the controls (found by object name); `show_window` opens a
    // secondary window by name. Lives on the GUI thread.
    QtWindowOperations(QWidget* root, Dialogs& dialogs,
                       std::function<void(std::string_view)> show_window);

    // The window operations as one run sees them: every wait for the GUI
    // thread ends at once when `stop` is requested (answering with an empty
    // value, or Cancel for a message box), and a dialog that is open for the
    // run is closed. Callers that are not a run pass an empty token.
    //
    // A harvest's failure messages can be silenced: the first one shown
    // carries the check box "本次搜索不再提示", and once it is ticked the
    // run's further messages are logged and answered with OK at once.
    using Silencing = shell::Silencing;

    class RunView : public shell::SilenceableRunWindow {
      public:
        RunView(QtWindowOperations& operations, std::stop_token stop,
                Silencing silencing = Silencing::none)
            : SilenceableRunWindow(silencing), operations_(operations), stop_(std::move(stop)) {}
        bool read_checked(std::string_view control) override;
        std::string read_text(std::string_view control) override;
        // Counted from the box's document without copying its text.
        int line_count(std::string_view control) override;
        void set_text(std::string_view control, std::string_view text) override;
        void append_text(std::string_view control, std::string_view text) override;
        bool input_pending() override;
        void pump_messages() override;
        std::optional<std::string> show_save_dialog(std::string_view dialog,
                                                    std::string_view filter,
                                                    std::string_view default_extension,
                                                    std::string_view title) override;
        void open_with_shell(std::string_view target) override;
        void show_window(std::string_view window) override;
        void navigate(std::string_view browser, std::string_view address) override;

        // A question the run must put to the user even when its failure
        // messages are silenced; Cancel when the run is stopped meanwhile.
        platform::MessageResult ask(const QString& text, platform::MessageStyle style,
                                    const QString& caption);
        platform::MessageResult ask(std::string_view text, platform::MessageStyle style,
                                    std::string_view caption) override;
        // Runs `start` on the GUI thread and waits until it calls the
        // function it is given (any thread, any number of times): true then;
        // false when called on the GUI thread or when the run is stopped first.
        bool wait_until(const std::function<void(std::function<void()> done)>& start);

      protected:
        std::pair<platform::MessageResult, bool> ask_with_check(std::string_view text,
                                                                platform::MessageStyle style,
                                                                std::string_view caption,
                                                                std::string_view check) override;

      private:
        QtWindowOperations& operations_;
        std::stop_token stop_;
    };
    RunView for_run(std::stop_token stop, Silencing silencing = Silencing::none) {
        return RunView(*this, std::move(stop), silencing);
    }

    // Applies every queued text change now (GUI thread).
    void flush();

    // Time the GUI thread has spent applying queued text changes, in ns.
    std::int64_t gui_update_nanoseconds() const { return update_ns_.load(); }

  private slots:
    // Runs every queued task (GUI thread).
    void run_tasks();
    // Starts the batching timer, unless it runs already (GUI thread).
    void schedule_flush();

  private:
    void queue(std::string_view control, std::string_view text, bool replace);
    QWidget* control(const QString& name) const;

    bool do_read_checked(const QString& name) const;
    std::string do_read_text(const QString& name);
    // Line feeds of a box's plain text, and whether its last line is unterminated.
    struct LineTally {
        int feeds = 0;
        bool open = false;
        void add(const QString& text);      // as if appended
        void add(const std::string& text);  // code-page text, as if appended
        int lines() const { return feeds + (open ? 1 : 0); }
    };
    // The boxes as the text batch applies its changes (GUI thread).
    class Boxes;
    LineTally document_lines(const QString& name);  // GUI thread
    void publish_lines(const QString& name);        // GUI thread
    qsizetype line_separators(const QTextDocument* document);
    platform::MessageResult do_show_message(const QString& text, const QString& caption,
                                            platform::MessageStyle style,
                                            const std::stop_token& stop,
                                            MessageCheck* check = nullptr);
    std::optional<std::string> do_save_dialog(const QString& name, const QString& filter,
                                              const QString& extension, const QString& title,
                                              const std::stop_token& stop);
    void do_open(const QString& target);
    bool do_navigate(const QString& name, const QString& address);

    QPointer<QWidget> root_;
    Dialogs& dialogs_;
    std::function<void(std::string_view)> show_window_;
    std::atomic<std::int64_t> update_ns_{0};
    QTimer flush_timer_;

    // Line separators (U+2028) within the lines of a box's document, which
    // its plain text shows as line breaks too. flush keeps the count across
    // its own appends; any other change makes it recounted when next asked.
    struct SeparatorCount {
        qsizetype count = 0;
        bool known = false;
    };
    std::map<const QTextDocument*, SeparatorCount> separators_;  // GUI thread only
    const QTextDocument* appending_to_ = nullptr;                // GUI thread only

    // The check boxes' states by object name, as their toggles leave them.
    // Filled when made and never changed after, so any thread may read it.
    std::map<QString, std::atomic<bool>> checked_;
    // Changes to the edit boxes (code-page text, CR LF), and each box's lines
    // as its document holds them, by object name.
    shell::TextBatch<std::string, LineTally> batch_;
    shell::WindowThread thread_;
};

}  // namespace quorvel::app
