#include "app/index_window.h"

#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/browser.h"

namespace quorvel::app {

IndexWindow::IndexWindow(const QUrl& page, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("IndexWindow"));
    setWindowTitle(QString());
    setGeometry(50, 50, 760, 416);
    setFixedSize(760, 416);
    browser_ = new QWebEngineView(this);
    browser_->setObjectName(QStringLiteral("超文本浏览框1"));
    browser_->setGeometry(8, 8, 1160, 656);
    // The shared profile: the index pages see the marketplace sign-in too.
    browser_->setPage(new QWebEnginePage(browser_profile(), browser_));
    browser_->setUrl(page);
}

}  // namespace quorvel::app
