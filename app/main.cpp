// Quorvel: start-up. Opens the log, creates the harvest store, shows the main
// window and runs the event loop until the window is closed.

#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/browser.h"
#include "app/desktop_identity.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/marketplace_session.h"
#include "app/qt_text.h"
#include "app/start_options.h"
#include "harvest/harvest_store.h"
#include "journal/journal.h"
#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/session_cookies.h"
#include "platform/user_folders.h"
#include "shell/texts.h"
#include "shell/window_journal.h"

namespace {

// The log goes to the user's data folder; without one the program runs all
// the same and says so on the terminal.
void open_log() {
    auto folder = quorvel::platform::user_data_folder();
    auto opened = folder ? quorvel::platform::open_log_file(*folder / "logs")
                         : tl::expected<void, std::string>(tl::unexpected(folder.error()));
    if (!opened) {
        std::fprintf(stderr, "quorvel: no log file: %s\n", opened.error().c_str());
    }
}

}  // namespace

int main(int argc, char* argv[]) {
    // --version and --help are answered before Qt starts, so they need no display.
    if (auto answer = quorvel::app::early_answer(argc, argv)) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
    // The embedded browser's sandbox refuses to start as root; only then is it turned off.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    quorvel::app::set_desktop_identity();
    open_log();
    quorvel::platform::log_info("Quorvel started");

    int status = 0;
    {
        // Every harvest request carries the session the browser signed in
        // with, or the one saved last time.
        quorvel::app::MarketplaceSession session(quorvel::app::browser_profile(),
                                                 quorvel::platform::default_cookie_file());
        quorvel::harvest::HarvestStore store;
        quorvel::app::QtDialogs dialogs;
        quorvel::shell::WindowJournal journal = quorvel::shell::open_window_journal();
        quorvel::app::MainWindow window(store, dialogs);
        window.set_session(&session);
        window.set_journal(journal.journal ? &*journal.journal : nullptr, journal.trouble);
        if (journal.moved_aside) {
            window.show_notice(quorvel::app::qt_from_utf8(quorvel::shell::texts::fill(
                quorvel::shell::texts::journal_moved_aside, {journal.moved_aside->string()})));
        }
        window.show();
        // Once the window is up: a harvest the program's death interrupted.
        QTimer::singleShot(0, &window, &quorvel::app::MainWindow::offer_resume);
        status = QApplication::exec();
    }
    quorvel::app::release_browser_profile();
    quorvel::platform::log_info("Quorvel shut down, status " + std::to_string(status));
    return status;
}
