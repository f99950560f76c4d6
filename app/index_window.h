#pragma once
// The second window: the wholesale marketplace's keyword index page in an
// embedded browser, larger than the window and clipped by it. The browser
// shares the program's profile, and with it the marketplace sign-in.

#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace quorvel::app {

class IndexWindow : public QWidget {
    Q_OBJECT

  public:
    // Navigates to `page` as soon as it is created.
    explicit IndexWindow(const QUrl& page, QWidget* parent = nullptr);

    QWebEngineView* browser() const { return browser_; }

  private:
    QWebEngineView* browser_;
};

}  // namespace quorvel::app
