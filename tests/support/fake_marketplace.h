#pragma once
// A local stand-in for the marketplace, over HTTPS with the test certificate:
// "/sug" answers the PC and the mobile suggestion forms, "/search" a results
// page with an embedded related-word block. Its words are derived from the
// query, so tests compute what to expect. Every request is logged, and
// failures can be chosen per endpoint and keyword. It answers whatever Host
// a request names, so its sign-in host is reached through a resolve entry.
// On request it also behaves as the live marketplace can: it drops
// connections without replying, sends search pages to a sign-in page, and
// shows a check page until its form is posted.

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::testsupport {

class TlsServer;

// The words the fake answers, as UTF-8 text with their highlight marks and
// spaces, for a keyword given as UTF-8.
namespace fake_words {
std::vector<std::string> pc(const std::string& keyword);
// The arrow titles of PC suggestion j (from 1), in reply order.
std::vector<std::string> arrow_titles(int j);
std::vector<std::string> mobile(const std::string& keyword);
std::vector<std::string> related(const std::string& keyword);
}  // namespace fake_words

enum class Endpoint { pc, mobile, search };

enum class Failure {
    empty_body,        // 200 with nothing
    status_500,        // 500 with a JSON-looking body that is not the reply
    invalid_json,      // 200 with text that is not JSON
    jsonp,             // the reply wrapped in a callback
    no_markers,        // a search page without the related block
    end_marker_first,  // the block's end marker only before its start marker
    slow,              // the normal reply after a pause
    hang,              // no reply while the client waits (see FakeMarketplace::hold_limit)
    dropped,           // the connection closes half-way through the body
};

class FakeMarketplace {
  public:
    // On 127.0.0.1 and a free port.
    FakeMarketplace();
    // On this address and port (443 for the command line, which always asks
    // the marketplace's default hosts on the HTTPS port).
    FakeMarketplace(const std::string& address, int port);
    ~FakeMarketplace();
    FakeMarketplace(const FakeMarketplace&) = delete;
    FakeMarketplace& operator=(const FakeMarketplace&) = delete;

    // "ADDRESS:PORT", for the harvest's suggestion and search hosts.
    std::string host() const;
    std::string address() const;
    int port() const;

    // Requests for this endpoint and keyword (UTF-8) fail this way.
    void fail(Endpoint endpoint, const std::string& keyword, Failure failure);
    // Every request answers normally again.
    void clear_failures();

    // Every suggestion and search reply is sent this long after its request
    // came, as over a real network (0: at once). Requests are served side by
    // side, so replies in flight together wait together.
    void set_reply_delay(std::chrono::milliseconds delay);

    // The first `tries` requests for this endpoint and keyword (counted
    // from this call) lose their connection before any reply. From this call
    // on, every reply closes its connection, so that each request comes on a
    // connection of its own and the client never resends one by itself.
    void drop_connections(Endpoint endpoint, const std::string& keyword, int tries);

    // With `on`, a search request without the session cookie is redirected
    // (302) to the sign-in page on login_host(), at this server's port. That
    // page's form, posted, sets the session cookie for "taobao.com".
    void require_session(bool on);
    static constexpr const char* session_cookie = "_q_session";
    static constexpr const char* login_host() { return "login.taobao.com"; }
    // "https://login.taobao.com[:PORT]": where the sign-in page is.
    std::string login_origin() const;

    // Requests for this endpoint and keyword are redirected (302) to a check
    // page ("/_____tmd_____/punish?x5secdata=...") until its form is posted
    // back (POST "/_____tmd_____/verify" with the page's x5secdata) or the
    // check is cleared here.
    void require_verification(Endpoint endpoint, const std::string& keyword);
    void clear_verification(Endpoint endpoint, const std::string& keyword);

    // A request that fails with Failure::hang is held without a reply until
    // its client closes the connection, the fake is destroyed (it then ends
    // without a reply) or hold_limit passes; then the reply is sent after all.
    // The limit is below the client's 30 s stall limit, so a client that
    // keeps waiting gets the reply, and held_replies_sent() shows it.
    static constexpr std::chrono::seconds hold_limit{20};
    // Held replies sent after all, their client having waited hold_limit.
    std::size_t held_replies_sent() const;
    // Held requests whose client closed the connection while they were held.
    std::size_t held_requests_dropped() const;
    // Waits until `count` held requests have been dropped by their client;
    // false if they have not been within a minute.
    bool await_held_requests_dropped(std::size_t count) const;

    // Every request so far, as path and query ("/sug?q=..."), in arrival order.
    std::vector<std::string> requests() const;
    // The same without the parts that change with the clock: the PC
    // timestamp and today's date.
    std::vector<std::string> steady_requests() const;
    // The Cookie header of every request so far ("" without one), in the
    // order of requests().
    std::vector<std::string> request_cookies() const;
    // How many requests have arrived so far, without copying their log.
    std::size_t request_count() const;
    // Forgets the requests so far and how held replies ended.
    void clear_requests();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Percent-decoding of a query value.
std::string percent_decode(const std::string& text);

}  // namespace quorvel::testsupport
