#include "app/index_window.h"

#include <QWebEngineView>

namespace quorvel::app {

IndexWindow::IndexWindow(const QUrl& page, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("IndexWindow"));
    setWindowTitle(QString());
    setGeometry(50, 50, 760, 416);
    setFixedSize(760, 416);
    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setGeometry(8, 8, 1160, 656);
    browser_->setUrl(page);
}

}  // namespace quorvel::app
