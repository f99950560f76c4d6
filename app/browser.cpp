#include "app/browser.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/log.h"
#include "platform/user_folders.h"

namespace quorvel::app {
namespace {

// browser/ in the user's data folder, created private to the user, or why
// there is none.
tl::expected<std::filesystem::path, std::string> profile_folder() {
    auto data = platform::user_data_folder();
    if (!data) {
        return tl::unexpected(data.error());
    }
    const std::filesystem::path folder = *data / "browser";
    if (auto made = platform::make_private_folder(folder); !made) {
        return tl::unexpected(made.error());
    }
    // A folder left by an earlier version or made by hand is made private too.
    std::error_code error;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    if (error) {
        return tl::unexpected("cannot make " + folder.string() + " private: " + error.message());
    }
    return folder;
}

QWebEngineProfile* profile = nullptr;

}  // namespace

QWebEngineProfile* browser_profile() {
    if (profile != nullptr) {
        return profile;
    }
    auto folder = profile_folder();
    if (!folder) {
        platform::log_warning("the browser keeps no sign-in between starts: " + folder.error());
        profile = new QWebEngineProfile(QCoreApplication::instance());
        return profile;
    }
    profile = new QWebEngineProfile(QStringLiteral("quorvel"), QCoreApplication::instance());
    const QString path = QString::fromStdString(folder->string());
    profile->setPersistentStoragePath(path);
    profile->setCachePath(path + QStringLiteral("/cache"));
    // The marketplace's sign-in lives in session cookies; kept, it survives a restart.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    return profile;
}

void release_browser_profile() {
    delete std::exchange(profile, nullptr);
}

BrowserWindow::BrowserWindow(const QString& object_name, const QString& title, const QUrl& page,
                             QWidget* parent)
    : QWidget(parent) {
    setObjectName(object_name);
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1024, 720);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new QWebEngineView(this);
    browser_->setObjectName(object_name + QStringLiteral("Browser"));
    browser_->setPage(new QWebEnginePage(browser_profile(), browser_));
    layout->addWidget(browser_);
    browser_->setUrl(page);
}

void BrowserWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    event->accept();
}

}  // namespace quorvel::app
