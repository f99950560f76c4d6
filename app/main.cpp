// Quorvel: start-up. Opens the log, creates the harvest store, shows the main
// window and runs the event loop until the window is closed.

#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "harvest/harvest_store.h"
#include "platform/log.h"
#include "platform/log_file.h"
#include "platform/user_folders.h"

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
    // The embedded browser's sandbox refuses to start as root; only then is it turned off.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);
    open_log();
    quorvel::platform::log_info("Quorvel started");

    int status = 0;
    {
        quorvel::harvest::HarvestStore store;
        quorvel::app::QtDialogs dialogs;
        quorvel::app::MainWindow window(store, dialogs);
        window.show();
        status = QApplication::exec();
    }
    quorvel::platform::log_info("Quorvel shut down, status " + std::to_string(status));
    return status;
}
