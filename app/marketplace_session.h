#pragma once
// The marketplace session of the whole program: the browser profile's cookies
// for the marketplace's domains flow into the transport's shared cookie store
// as the browser adds and removes them, so every harvest request carries
// them, and are kept in the cookie file the command line reads. Nothing here
// writes a cookie's name or value to the log.

#include <QList>
#include <QNetworkCookie>
#include <QObject>
#include <QTimer>
#include <filesystem>
#include <string>
#include <string_view>
#include <tl/expected.hpp>

class QWebEngineProfile;

namespace quorvel::app {

class MarketplaceSession : public QObject {
    Q_OBJECT

  public:
    // Loads `cookie_file` (when there is one and it exists) into the shared
    // store and asks the profile for every cookie it holds; from then on
    // follows the profile's changes. Without a file (the error says why) the
    // session is not kept for the command line.
    MarketplaceSession(QWebEngineProfile* profile,
                       tl::expected<std::filesystem::path, std::string> cookie_file,
                       QObject* parent = nullptr);
    // Writes a change still waiting to be saved.
    ~MarketplaceSession() override;

    // Whether the shared store holds a session with the marketplace, beyond
    // the cookies it gives every visitor.
    bool signed_in() const;

    // Removes the marketplace's cookies from the profile and the shared store
    // and deletes the cookie file.
    void sign_out();

    // Takes the session from text the user brought from another browser (a
    // Cookie header or a cookie file, named `source`) into the cookie file and
    // the shared store, and gives it to the profile too. The message (UTF-8)
    // saying what was taken, or as the error why nothing was; without a
    // cookie file nothing is taken, since it could not be kept.
    tl::expected<std::string, std::string> sign_in_from_text(std::string_view text,
                                                             std::string_view source);

    // Writes the cookie file now, if a change waits (tests, shut-down).
    void save_now();

  signals:
    // The session's cookies changed; signed_in() may have too.
    void changed();

  private:
    void added(const QNetworkCookie& cookie);
    void removed(const QNetworkCookie& cookie);
    void save();

    QWebEngineProfile* profile_;
    tl::expected<std::filesystem::path, std::string> cookie_file_;
    // The profile's marketplace cookies, so that signing out can remove them.
    QList<QNetworkCookie> profile_cookies_;
    QTimer save_timer_;
};

}  // namespace quorvel::app
