#include "app/marketplace_session.h"

#include <QDateTime>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <system_error>

#include "harvest/marketplace_answers.h"
#include "harvest/sources.h"
#include "platform/log.h"
#include "platform/session_cookies.h"
#include "shell/session_file.h"
#include "shell/texts.h"

namespace quorvel::app {
namespace {

// The browser's cookie as the shared store takes it. A domain cookie's domain
// starts with a dot; a host cookie's names its host alone.
platform::Cookie to_cookie(const QNetworkCookie& cookie) {
    platform::Cookie out;
    std::string domain = cookie.domain().toStdString();
    out.include_subdomains = domain.starts_with('.');
    if (out.include_subdomains) {
        domain.erase(0, 1);
    }
    out.domain = domain;
    out.path = cookie.path().isEmpty() ? std::string("/") : cookie.path().toStdString();
    out.secure = cookie.isSecure();
    out.http_only = cookie.isHttpOnly();
    out.expires = cookie.isSessionCookie() ? 0 : cookie.expirationDate().toSecsSinceEpoch();
    out.name = cookie.name().toStdString();
    out.value = cookie.value().toStdString();
    return out;
}

QNetworkCookie to_network_cookie(const platform::Cookie& cookie) {
    QNetworkCookie out(QByteArray::fromStdString(cookie.name),
                       QByteArray::fromStdString(cookie.value));
    out.setDomain(QString::fromStdString((cookie.include_subdomains ? "." : "") + cookie.domain));
    out.setPath(QString::fromStdString(cookie.path));
    out.setSecure(cookie.secure);
    out.setHttpOnly(cookie.http_only);
    if (cookie.expires != 0) {
        out.setExpirationDate(QDateTime::fromSecsSinceEpoch(cookie.expires));
    }
    return out;
}

bool of_marketplace(const QNetworkCookie& cookie) {
    std::string domain = cookie.domain().toStdString();
    if (domain.starts_with('.')) {
        domain.erase(0, 1);
    }
    return platform::domain_within(domain, harvest::marketplace_domains);
}

}  // namespace

MarketplaceSession::MarketplaceSession(QWebEngineProfile* profile,
                                       tl::expected<std::filesystem::path, std::string> cookie_file,
                                       QObject* parent)
    : QObject(parent), profile_(profile), cookie_file_(std::move(cookie_file)) {
    if (cookie_file_) {
        shell::load_session_file(*cookie_file_);
    } else {
        platform::log_warning("the session is not kept: " + cookie_file_.error());
    }
    // Changes are written together, a moment after the last one: a sign-in
    // sets many cookies at once.
    save_timer_.setSingleShot(true);
    save_timer_.setInterval(300);
    connect(&save_timer_, &QTimer::timeout, this, &MarketplaceSession::save);
    QWebEngineCookieStore* store = profile_->cookieStore();
    connect(store, &QWebEngineCookieStore::cookieAdded, this, &MarketplaceSession::added);
    connect(store, &QWebEngineCookieStore::cookieRemoved, this, &MarketplaceSession::removed);
    store->loadAllCookies();
}

MarketplaceSession::~MarketplaceSession() {
    save_now();
}

bool MarketplaceSession::signed_in() const {
    return harvest::session_present(platform::cookies());
}

void MarketplaceSession::added(const QNetworkCookie& cookie) {
    if (!of_marketplace(cookie)) {
        return;
    }
    auto set = platform::set_cookie(to_cookie(cookie));
    if (!set) {
        platform::log_warning("session: a cookie from the browser was not taken: " + set.error());
        return;
    }
    profile_cookies_.removeIf(
        [&](const QNetworkCookie& kept) { return kept.hasSameIdentifier(cookie); });
    profile_cookies_.append(cookie);
    save_timer_.start();
    emit changed();
}

void MarketplaceSession::removed(const QNetworkCookie& cookie) {
    if (!of_marketplace(cookie)) {
        return;
    }
    const platform::Cookie gone = to_cookie(cookie);
    platform::remove_cookie(gone.domain, gone.path, gone.name);
    profile_cookies_.removeIf(
        [&](const QNetworkCookie& kept) { return kept.hasSameIdentifier(cookie); });
    save_timer_.start();
    emit changed();
}

void MarketplaceSession::sign_out() {
    QWebEngineCookieStore* store = profile_->cookieStore();
    QList<QNetworkCookie> leaving = profile_cookies_;
    // The browser does not always report the cookies it kept from an earlier
    // start; those were saved to the cookie file and loaded from it, so the
    // shared store names them.
    for (const platform::Cookie& kept :
         platform::cookies_within(platform::cookies(), harvest::marketplace_domains)) {
        leaving.append(to_network_cookie(kept));
    }
    for (const QNetworkCookie& cookie : leaving) {
        store->deleteCookie(cookie);
    }
    profile_cookies_.clear();
    platform::clear_cookies_for(harvest::marketplace_domains);
    save_timer_.stop();
    if (cookie_file_) {
        std::error_code error;
        std::filesystem::remove(*cookie_file_, error);
        if (error) {
            platform::log_warning("cannot delete " + cookie_file_->string() + ": " +
                                  error.message());
        }
    }
    platform::log_info("signed out of the marketplace");
    emit changed();
}

tl::expected<std::string, std::string> MarketplaceSession::sign_in_from_text(
    std::string_view text, std::string_view source) {
    if (!cookie_file_) {
        return tl::unexpected(std::string(shell::texts::no_session_place) + cookie_file_.error());
    }
    auto taken = shell::sign_in_from_text(text, source, *cookie_file_);
    if (taken) {
        // The embedded browser signs in with it too; the cookies it reports
        // back are the store's own.
        for (const platform::Cookie& cookie :
             platform::cookies_within(platform::cookies(), harvest::marketplace_domains)) {
            profile_->cookieStore()->setCookie(to_network_cookie(cookie));
        }
        emit changed();
    }
    return taken;
}

void MarketplaceSession::save_now() {
    if (save_timer_.isActive()) {
        save_timer_.stop();
        save();
    }
}

void MarketplaceSession::save() {
    if (!cookie_file_) {
        return;
    }
    // No session, no file: signing out in the browser leaves none behind.
    if (platform::cookies_within(platform::cookies(), harvest::marketplace_domains).empty()) {
        std::error_code error;
        std::filesystem::remove(*cookie_file_, error);
        return;
    }
    auto saved = platform::save_cookie_file(*cookie_file_, harvest::marketplace_domains);
    if (!saved) {
        platform::log_warning("session not saved: " + saved.error().message);
    }
}

}  // namespace quorvel::app
