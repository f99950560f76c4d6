#pragma once
// The embedded browser the windows share: one profile for the whole process,
// kept in the user's data folder so that a sign-in survives restarts, and a
// plain window around a view of it, for the sign-in page and the
// marketplace's check pages.

#include <QString>
#include <QUrl>
#include <QWidget>

class QWebEngineProfile;
class QWebEngineView;

namespace quorvel::app {

// The process's browser profile, made on first use: persistent in
// browser/ under the user's data folder (mode 0700), its session cookies
// kept too; off the record, and said in the log, when that folder cannot be
// had. Until release_browser_profile(), or else the application object, ends it.
QWebEngineProfile* browser_profile();

// Ends the profile once every browser view is gone, while the application
// object still runs, so that the browser shuts it down, writing its cookies,
// in the order it expects.
void release_browser_profile();

// A top-level window holding one browser view on the shared profile. It is
// deleted when closed and says so first.
class BrowserWindow : public QWidget {
    Q_OBJECT

  public:
    BrowserWindow(const QString& object_name, const QString& title, const QUrl& page,
                  QWidget* parent = nullptr);

    QWebEngineView* browser() const { return browser_; }

  signals:
    // The user closed the window (or it was closed for them).
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QWebEngineView* browser_;
};

}  // namespace quorvel::app
