// The marketplace session end to end, through the real browser: signing in
// on the fake sign-in page in the sign-in window gives the harvest its
// session; without one the sign-in wall is said once and offers that window;
// a check page is passed in the browser and the run goes on with the same
// request; a Cookie header pasted in the sign-in window signs in too. The
// browser reaches the fake's hosts by name through Chromium's host resolver
// rules and trusts the test certificate through an NSS database in a scratch
// home, made before the browser starts.

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "app/browser.h"
#include "app/main_window.h"
#include "app/marketplace_session.h"
#include "app/settings_dialog.h"
#include "harvest/sources.h"
#include "platform/http_transport.h"
#include "platform/session_cookies.h"
#include "shell/control_table.h"
#include "tests/app/browser_driver.h"
#include "tests/app/qt_test_main.h"
#include "tests/support/answering_dialogs.h"
#include "tests/support/captured_log.h"
#include "tests/support/child_process.h"
#include "tests/support/fake_marketplace.h"
#include "tests/support/scratch.h"
#include "tests/support/test_servers.h"
#include "tests/support/window_driver.h"

using namespace quorvel;
using app::MainWindow;
using harvest::KeywordSource;
using testsupport::Endpoint;
using testsupport::submit_form;
using testsupport::u;

namespace {

testsupport::FakeMarketplace* fake = nullptr;
testsupport::ScratchFolder* home = nullptr;

std::filesystem::path cookie_file() {
    return *home / "data" / "quorvel" / "cookies.txt";
}

}  // namespace

class SignInTest : public QObject {
    Q_OBJECT

    harvest::HarvestStore store_;
    testsupport::AnsweringDialogs dialogs_;
    std::unique_ptr<app::MarketplaceSession> session_;
    std::unique_ptr<MainWindow> window_;

    template <typename W>
    W* find(std::string_view name) {
        return testsupport::find_control<W>(window_.get(), name);
    }
    QString box(KeywordSource source) {
        return testsupport::result_box(window_.get(), source)->toPlainText();
    }
    QString line() { return find<QLabel>(shell::progress_line)->text(); }
    QString state() { return find<QLabel>(shell::sign_in_state)->text(); }
    void seeds(const char* utf8) { find<QPlainTextEdit>(harvest::seed_box)->setPlainText(u(utf8)); }
    // Exactly these kinds ticked.
    void tick(std::initializer_list<KeywordSource> sources) {
        for (KeywordSource source : harvest::all_sources) {
            testsupport::check_box(window_.get(), source)
                ->setChecked(std::find(sources.begin(), sources.end(), source) != sources.end());
        }
    }
    bool harvest() {
        QSignalSpy spy(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        return spy.wait(30000);
    }
    std::size_t searches_with_session() {
        std::size_t with = 0;
        const auto paths = fake->requests();
        const auto cookies = fake->request_cookies();
        for (std::size_t i = 0; i < paths.size(); ++i) {
            with +=
                paths[i].starts_with("/search") &&
                cookies[i].find(testsupport::FakeMarketplace::session_cookie) != std::string::npos;
        }
        return with;
    }

  private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        app::WindowSettings{}.save();
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        std::vector<platform::ResolveEntry> entries;
        for (const char* host : {"suggest.taobao.com", "s.taobao.com", "login.taobao.com"}) {
            entries.push_back(*platform::parse_resolve_entry(
                std::string(host) + ":" + std::to_string(fake->port()) + ":127.0.0.1"));
        }
        platform::set_resolve_entries(entries);
        fake->require_session(true);
        session_ = std::make_unique<app::MarketplaceSession>(app::browser_profile(), cookie_file());
    }
    void cleanupTestCase() {
        window_.reset();
        session_.reset();
    }
    void init() {
        store_.clear();
        dialogs_ = {};
        dialogs_.next_answer = platform::MessageResult::no;
        const std::string port = ":" + std::to_string(fake->port());
        window_ = std::make_unique<MainWindow>(
            store_, dialogs_,
            harvest::MarketplaceHosts{"suggest.taobao.com" + port, "s.taobao.com" + port});
        window_->set_session(session_.get());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        fake->clear_requests();
    }
    void cleanup() { window_.reset(); }

    // Signed out, the search page sends the harvest to the sign-in host: the
    // user is told once, offered the sign-in window, and the other kinds fill.
    void without_a_session_the_wall_is_said_once_and_offers_the_sign_in() {
        QCOMPARE(state(), u("未登录"));
        QVERIFY(!find<QPushButton>(shell::sign_out_button)->isEnabled());
        dialogs_.next_answer = platform::MessageResult::yes;
        seeds("连衣裙\n雪纺衫");
        tick({KeywordSource::PcDropdown, KeywordSource::MobileDropdown, KeywordSource::DidYouMean});
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY2(dialogs_.messages[0].text.startsWith(u("“你是不是想找”需要登录淘宝")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(dialogs_.messages[0].style.buttons, platform::MessageButtons::yes_no);
        QCOMPARE(box(KeywordSource::DidYouMean), QString());
        QVERIFY(!box(KeywordSource::PcDropdown).isEmpty());
        QVERIFY(!box(KeywordSource::MobileDropdown).isEmpty());
        QVERIFY2(line().endsWith(u("“你是不是想找”需要登录淘宝")), qPrintable(line()));
        // "是" opened the sign-in window on the marketplace's sign-in page.
        QTRY_VERIFY(window_->sign_in_window() != nullptr);
        QCOMPARE(window_->sign_in_window()->browser()->url(),
                 QUrl(QString::fromUtf8(harvest::sign_in_page.data())));
        window_->sign_in_window()->close();
    }

    // Signing in through the sign-in window: the session reaches the
    // harvest, the cookie file and the state beside the button, and no
    // cookie reaches the log; signing out takes it from all three.
    void signing_in_in_the_browser_gives_the_harvest_its_session() {
        testsupport::CapturedLog log;
        QTest::mouseClick(find<QPushButton>(shell::sign_in_button), Qt::LeftButton);
        app::BrowserWindow* browser = window_->sign_in_window();
        QVERIFY(browser != nullptr);
        QVERIFY(browser->isVisible());
        QVERIFY(submit_form(browser, QStringLiteral("/")));
        QTRY_COMPARE_WITH_TIMEOUT(state(), u("已登录"), 20000);
        QVERIFY(find<QPushButton>(shell::sign_out_button)->isEnabled());

        // Kept for the command line, private to the user.
        session_->save_now();
        QCOMPARE(testsupport::mode_of(cookie_file()), 0600u);
        QVERIFY(testsupport::file_bytes(cookie_file()).find("_q_session\tsigned-in") !=
                std::string::npos);
        QCOMPARE(testsupport::mode_of(*home / "data" / "quorvel" / "browser"), 0700u);
        browser->close();

        seeds("连衣裙");
        tick({KeywordSource::PcDropdown, KeywordSource::DidYouMean});
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 0);
        QVERIFY2(box(KeywordSource::DidYouMean).contains(u("连衣裙")),
                 qPrintable(box(KeywordSource::DidYouMean)));
        QCOMPARE(searches_with_session(), 1u);
        QVERIFY(log.text().find("signed-in") == std::string::npos);

        QTest::mouseClick(find<QPushButton>(shell::sign_out_button), Qt::LeftButton);
        QCOMPARE(state(), u("未登录"));
        QVERIFY(!std::filesystem::exists(cookie_file()));
        QVERIFY(
            platform::cookies_within(platform::cookies(), harvest::marketplace_domains).empty());
        // The browser forgot it too: the sign-in page, opened again, gets no session.
        fake->clear_requests();
        QTest::mouseClick(find<QPushButton>(shell::sign_in_button), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!fake->requests().empty(), 20000);
        QCOMPARE(fake->request_cookies().front(), std::string());
        window_->sign_in_window()->close();
        QCOMPARE(state(), u("未登录"));
        fake->clear_requests();
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(box(KeywordSource::DidYouMean), QString());
        QCOMPARE(searches_with_session(), 0u);
    }

    // The browser keeps a sign-in between starts: signed in by one process
    // that then ends, the next one's browser sends the session to the
    // marketplace; a profile that never signed in sends none.
    void a_sign_in_survives_a_restart() {
        const std::string page = std::string(harvest::sign_in_page);
        auto visit_sends_session = [&](const std::filesystem::path& data) {
            fake->clear_requests();
            const auto visit = testsupport::run_child({QUORVEL_BROWSER_CHILD, "visit", page},
                                                      {{"XDG_DATA_HOME", data.string()}});
            if (visit.exit_code != 0) {
                qWarning("%s", visit.err.c_str());
                return std::optional<bool>();
            }
            const auto cookies = fake->request_cookies();
            return std::optional<bool>(!cookies.empty() &&
                                       cookies.front().find("_q_session=signed-in") !=
                                           std::string::npos);
        };
        testsupport::ScratchFolder kept;
        const auto signed_in = testsupport::run_child({QUORVEL_BROWSER_CHILD, "sign-in", page},
                                                      {{"XDG_DATA_HOME", kept.path().string()}});
        QVERIFY2(signed_in.exit_code == 0, signed_in.err.c_str());
        QCOMPARE(visit_sends_session(kept.path()), std::optional<bool>(true));
        testsupport::ScratchFolder fresh;
        QCOMPARE(visit_sends_session(fresh.path()), std::optional<bool>(false));
    }

    // A check page pauses the run on a question. Declined, the run stops
    // with what it found; accepted, the page opens in the browser, and once
    // the check is passed there and the window closed, the same request is
    // sent again and the run goes on.
    void a_check_page_is_passed_in_the_browser() {
        fake->require_verification(Endpoint::pc, "验证裙");
        seeds("连衣裙\n验证裙\n雪纺衫");
        tick({KeywordSource::PcDropdown});
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY2(dialogs_.messages[0].text.startsWith(u("淘宝要求进行安全验证")),
                 qPrintable(dialogs_.messages[0].text));
        QCOMPARE(store_.seed_rows().size(), 1u);
        QVERIFY(window_->check_window() == nullptr);
        QVERIFY2(line().startsWith(u("已停止")), qPrintable(line()));

        dialogs_.messages.clear();
        dialogs_.next_answer = platform::MessageResult::yes;
        fake->clear_requests();
        QSignalSpy finished(window_.get(), &MainWindow::harvest_finished);
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window_->check_window() != nullptr, 20000);
        QVERIFY(window_->harvest_running());
        QTRY_VERIFY2(line().startsWith(u("等待安全验证")), qPrintable(line()));
        QVERIFY(submit_form(window_->check_window(), QStringLiteral("/_____tmd_____/punish")));
        QTRY_VERIFY_WITH_TIMEOUT(
            [] {
                for (const std::string& request : fake->requests()) {
                    if (request.starts_with("/_____tmd_____/verify")) {
                        return true;
                    }
                }
                return false;
            }(),
            20000);
        QVERIFY(window_->harvest_running());  // it waits for the window to close
        window_->check_window()->close();
        QVERIFY(finished.wait(30000));
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(store_.seed_rows().size(), 3u);
        QVERIFY2(box(KeywordSource::PcDropdown).contains(u("验证裙")),
                 qPrintable(box(KeywordSource::PcDropdown)));
        // The request that met the check, then the same one after it.
        std::size_t asked = 0;
        for (const std::string& request : fake->requests()) {
            asked += request.starts_with("/sug") &&
                     testsupport::percent_decode(request).find("验证裙") != std::string::npos;
        }
        QCOMPARE(asked, 2u);
    }

    // Closing the main window while a run waits on a check page ends both.
    void closing_while_a_check_page_waits() {
        fake->require_verification(Endpoint::pc, "验证裙");
        dialogs_.next_answer = platform::MessageResult::yes;
        seeds("验证裙");
        tick({KeywordSource::PcDropdown});
        QTest::mouseClick(find<QPushButton>(shell::search_button), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window_->check_window() != nullptr, 20000);
        QPointer<app::BrowserWindow> check = window_->check_window();
        window_->close();
        QVERIFY(!window_->harvest_running());
        QTRY_VERIFY(check == nullptr);
        fake->clear_verification(Endpoint::pc, "验证裙");
    }

    // A Cookie header brought from the user's own browser, pasted on the
    // sign-in window's second tab: the harvest, the cookie file, the state
    // beside the button and the embedded browser get the session. Another
    // site's header is refused and leaves it. No cookie reaches the log.
    void a_pasted_cookie_header_signs_in() {
        testsupport::CapturedLog log;
        auto paste = [this](const char* header) {
            QTest::mouseClick(find<QPushButton>(shell::sign_in_button), Qt::LeftButton);
            app::BrowserWindow* browser = window_->sign_in_window();
            testsupport::find_control<QTabWidget>(browser, "SignInTabs")->setCurrentIndex(1);
            testsupport::find_control<QPlainTextEdit>(browser, "SignInPaste")
                ->setPlainText(u(header));
            QTest::mouseClick(testsupport::find_control<QPushButton>(browser, "SignInPasteTake"),
                              Qt::LeftButton);
        };
        QCOMPARE(state(), u("未登录"));
        paste("Cookie: cna=visit-1; cookie2=visit-2; _tb_token_=visit-3;\n _q_session=pasted-in");
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].caption, u("登录淘宝"));
        QCOMPARE(dialogs_.messages[0].text,
                 u("已导入登录信息：\ntaobao.com：4 个 Cookie\ntmall.com：0 个 Cookie"));
        QCOMPARE(state(), u("已登录"));
        QTRY_VERIFY(window_->sign_in_window() == nullptr);  // taken, the window closes
        QVERIFY(testsupport::file_bytes(cookie_file()).find("_q_session\tpasted-in") !=
                std::string::npos);

        seeds("连衣裙");
        tick({KeywordSource::DidYouMean});
        QVERIFY(harvest());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(searches_with_session(), 1u);

        // Opened again, the browser sends the pasted session with the page.
        fake->clear_requests();
        paste("SID=abc; HSID=def");
        QCOMPARE(dialogs_.messages.size(), 2);
        QVERIFY2(
            dialogs_.messages[1].text.startsWith(u("没有导入登录信息：the pasted text holds none")),
            qPrintable(dialogs_.messages[1].text));
        QCOMPARE(state(), u("已登录"));
        QVERIFY(window_->sign_in_window() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(!fake->requests().empty(), 20000);
        QVERIFY(fake->request_cookies().front().find("_q_session=pasted-in") != std::string::npos);
        window_->sign_in_window()->close();
        session_->save_now();
        QVERIFY(testsupport::file_bytes(cookie_file()).find("_q_session\tpasted-in") !=
                std::string::npos);
        QVERIFY(log.text().find("pasted-in") == std::string::npos);
    }
};

int main(int argc, char* argv[]) {
    // Everything the program keeps, and the browser's NSS database, in a
    // scratch home.
    testsupport::ScratchFolder scratch;
    home = &scratch;
    setenv("HOME", (scratch / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (scratch / "config").c_str(), 1);
    const std::filesystem::path nss = scratch / "home" / ".pki" / "nssdb";
    std::filesystem::create_directories(nss);
    const std::string database = "sql:" + nss.string();
    const std::string make = "certutil -N -d " + database + " --empty-password";
    const std::string trust = "certutil -A -d " + database + " -n quorvel-test -t C,, -i " +
                              testsupport::test_certificate().cert_path;
    if (std::system(make.c_str()) != 0 || std::system(trust.c_str()) != 0) {
        std::fprintf(stderr, "certutil (libnss3-tools) could not make the test NSS database\n");
        return 1;
    }
    testsupport::FakeMarketplace marketplace;
    fake = &marketplace;
    const std::string rules = "--disable-gpu \"--host-resolver-rules=MAP *.taobao.com 127.0.0.1:" +
                              std::to_string(marketplace.port()) + "\"";
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", rules.c_str(), 1);
    return run_qt_test<SignInTest>(argc, argv, UserFolders::as_set);
}

#include "sign_in_test.moc"
