#include "app/desktop_identity.h"

#include <QApplication>
#include <QIcon>
#include <QString>

namespace quorvel::app {

void set_desktop_identity() {
    // The display name stays unset: some platforms would append it to every
    // window title, and the main window's caption is fixed.
    QCoreApplication::setApplicationName(QString::fromUtf8(application_name));
    QGuiApplication::setDesktopFileName(QString::fromUtf8(desktop_id));
    // Every size the launcher's icon comes in, rendered from the same drawing.
    QIcon icon;
    for (int size : icon_sizes) {
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    }
    QApplication::setWindowIcon(icon);
}

}  // namespace quorvel::app
