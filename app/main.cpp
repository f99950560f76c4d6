// Quorvel: start-up. Creates the harvest store, shows the main window and
// runs the event loop until the window is closed.

#include <unistd.h>

#include <QApplication>
#include <cstdlib>

#include "app/dialogs.h"
#include "app/main_window.h"
#include "harvest/harvest_store.h"

int main(int argc, char* argv[]) {
    // The embedded browser's sandbox refuses to start as root; only then is it turned off.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication application(argc, argv);

    quorvel::harvest::HarvestStore store;
    quorvel::app::QtDialogs dialogs;
    quorvel::app::MainWindow window(store, dialogs);
    window.show();
    return QApplication::exec();
}
