#include "tests/support/fake_marketplace.h"

#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <stdexcept>
#include <thread>

#include "tests/support/test_servers.h"

namespace quorvel::testsupport {

namespace fake_words {

std::vector<std::string> pc(const std::string& k) {
    return {"<b>" + k + "</b> \xE8\xBF\x9E\xE8\xA1\xA3\xE8\xA3\x99",  // " 连衣裙"
            "<B>" + k + "</B>\xE5\xA4\x96\xE5\xA5\x97",               // "外套"
            k + " a b", k + "\xE3\x80\x80\xE9\x95\xBF"};              // full-width space, "长"
}

std::vector<std::string> arrow_titles(int j) {
    // Entries with index "1" (twice) and "3"; an entry for 9 names no suggestion.
    if (j == 1) {
        return {"\xE5\xAE\xBD\xE6\x9D\xBE", "\xE4\xBF\xAE\xE8\xBA\xAB", "\xE9\x95\xBF\xE6\xAC\xBE",
                "x y"};
    }
    if (j == 3) {
        return {"\xE5\xA4\x8F"};
    }
    return {};
}

std::vector<std::string> mobile(const std::string& k) {
    return {"<b>" + k + "</b> m1", k + " m 2", k + "<b>m3</b>"};
}

std::vector<std::string> related(const std::string& k) {
    // Taken as they are: spaces and quotes stay.
    return {k + "\xE7\x9B\xB8\xE5\x85\xB3", k + " \xE6\x96\xB0\xE6\xAC\xBE",
            k + "\"\xE6\xAD\xA3\xE5\x93\x81\""};
}

}  // namespace fake_words

namespace {

// A JSON string: quotes and backslashes escaped, and control characters (a
// keyword may hold a tab or a line break) as \u escapes.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    return out + "\"";
}

std::string pc_reply(const std::string& k) {
    std::string json = "{\"result\":[";
    auto words = fake_words::pc(k);
    for (std::size_t i = 0; i < words.size(); ++i) {
        json += i ? "," : "";
        json += std::string("[") + json_string(words[i]) + ",\"" + std::to_string(1000 + i) + "\"]";
    }
    auto titles1 = fake_words::arrow_titles(1);
    auto item = [](const std::string& title, bool hot) {
        return "{\"title\":" + json_string(title) + (hot ? ",\"type\":\"hot\"}" : "}");
    };
    json += "],\"magic\":[";
    json += "{\"index\":\"1\",\"type\":\"tag_group\",\"data\":[[" + item(titles1[0], false) + "," +
            item(titles1[1], true) + "],[" + item(titles1[2], false) + "]]},";
    json += "{\"index\":\"9\",\"type\":\"tag_group\",\"data\":[[" + item("never", false) + "]]},";
    json += "{\"index\":\"3\",\"type\":\"tag_group\",\"data\":[[" +
            item(fake_words::arrow_titles(3)[0], true) + "]]},";
    json += "{\"index\":\"1\",\"type\":\"tag_group\",\"data\":[[" + item(titles1[3], false) + "]]}";
    json += "],\"tmall\":" + json_string(k) + "}";
    return json;
}

std::string mobile_reply(const std::string& k) {
    std::string json = "{\"result\":[";
    auto words = fake_words::mobile(k);
    for (std::size_t i = 0; i < words.size(); ++i) {
        json += i ? "," : "";
        json += std::string("[") + json_string(words[i]) + ",\"" + std::to_string(2000 + i) + "\"]";
    }
    return json + "]}";
}

std::string related_json(const std::string& k) {
    std::string json = "{\"status\":\"show\",\"data\":{\"words\":[";
    auto words = fake_words::related(k);
    for (std::size_t i = 0; i < words.size(); ++i) {
        json += i ? "," : "";
        json += std::string("{\"text\":") + json_string(words[i]) +
                ",\"href\":\"/search?q=" + std::to_string(i) + "\"}";
    }
    return json + "]}}";
}

std::string search_page(const std::string& k, bool markers, bool end_first) {
    std::string head = "<!DOCTYPE html><html><head><title>" + k +
                       "</title></head><body><script>g_page_config = {\"pageName\":\"mainsrp\","
                       "\"mods\":{";
    std::string tail = "};</script></body></html>";
    if (!markers) {
        return head + "\"itemlist\":{\"status\":\"show\"}}" + tail;
    }
    if (end_first) {
        return head + "\"a\":1,\"tab\":{\"status\":\"show\"},\"related\":" + related_json(k) + "}" +
               tail;
    }
    return head + "\"related\":" + related_json(k) + ",\"tab\":{\"status\":\"show\"}}" + tail;
}

std::string query_value(const std::string& target, const std::string& key) {
    std::size_t q = target.find('?');
    std::string query = q == std::string::npos ? "" : target.substr(q + 1);
    std::size_t pos = 0;
    while (pos <= query.size()) {
        std::size_t end = query.find('&', pos);
        std::string pair =
            query.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (pair.rfind(key + "=", 0) == 0) {
            return percent_decode(pair.substr(key.size() + 1));
        }
        if (end == std::string::npos) {
            break;
        }
        pos = end + 1;
    }
    return {};
}

// The local port of a socket address, or -1.
int port_of(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    }
    return -1;
}

// The server's side of the connection a request came on: the socket whose
// own port is the server's and whose peer's is the request's; -1 if none is.
int connection_socket(int server_port, int peer_port) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])) == 0) {
            continue;
        }
        const int fd = std::stoi(name);
        sockaddr_storage local{};
        sockaddr_storage peer{};
        socklen_t local_size = sizeof local;
        socklen_t peer_size = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0) {
            continue;
        }
        if (port_of(local) == server_port && port_of(peer) == peer_port) {
            return fd;
        }
    }
    return -1;
}

// Ends the server's side of a connection before any reply. The server's
// later write fails quietly (SIGPIPE is ignored in the test process) and it
// closes the socket as usual.
void drop_connection(int socket) {
    std::signal(SIGPIPE, SIG_IGN);
    if (socket >= 0) {
        ::shutdown(socket, SHUT_RDWR);
    }
}

// Query-value escaping of everything but letters, digits and "-._~".
std::string percent_encode(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned>(u));
            out += escaped;
        }
    }
    return out;
}

// The check page's token for an endpoint and keyword, and back.
std::string check_token(Endpoint endpoint, const std::string& keyword) {
    std::string token = std::to_string(static_cast<int>(endpoint)) + "_";
    for (char c : keyword) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x",
                      static_cast<unsigned>(static_cast<unsigned char>(c)));
        token += hex;
    }
    return token;
}
std::optional<std::pair<Endpoint, std::string>> from_check_token(const std::string& token) {
    if (token.size() < 2 || token[1] != '_' || token[0] < '0' || token[0] > '2' ||
        token.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string keyword;
    for (std::size_t i = 2; i + 1 < token.size(); i += 2) {
        if (std::isxdigit(static_cast<unsigned char>(token[i])) == 0 ||
            std::isxdigit(static_cast<unsigned char>(token[i + 1])) == 0) {
            return std::nullopt;
        }
        keyword += static_cast<char>(std::stoi(token.substr(i, 2), nullptr, 16));
    }
    return std::pair{static_cast<Endpoint>(token[0] - '0'), keyword};
}

std::string check_page(const std::string& token) {
    return "<!DOCTYPE html><html><head><title>\xE9\xAA\x8C\xE8\xAF\x81</title></head><body>"
           "<form method=\"post\" action=\"/_____tmd_____/verify\">"
           "<input type=\"hidden\" name=\"x5secdata\" value=\"" +
           token +
           "\"><button type=\"submit\">OK</button></form>"
           "<script>window._config_ = {\"action\":\"captcha\",\"x5secdata\":\"" +
           token + "\"};</script></body></html>";
}

std::string login_page() {
    return "<!DOCTYPE html><html><head><title>\xE7\x99\xBB\xE5\xBD\x95</title></head>"
           "<body><form method=\"post\" action=\"/member/login.jhtml\">"
           "<input name=\"TPL_username\"><input type=\"password\" name=\"TPL_password\">"
           "<button type=\"submit\">OK</button></form></body></html>";
}

}  // namespace

std::string percent_decode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) != 0 &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2])) != 0) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

struct FakeMarketplace::Impl {
    std::string address;
    mutable std::mutex mutex;
    std::vector<std::string> log;
    std::vector<std::string> cookies;  // each logged request's Cookie header
    std::map<std::pair<Endpoint, std::string>, Failure> failures;
    std::map<std::pair<Endpoint, std::string>, int> drops;
    std::set<std::pair<Endpoint, std::string>> checks;
    bool closing = false;
    bool session_required = false;
    std::chrono::milliseconds reply_delay{0};
    // How held replies ended.
    std::size_t held_sent = 0;
    std::size_t held_dropped = 0;
    mutable std::condition_variable held_changed;
    // Once written to, wakes every hold, now and later: the fake is going.
    struct ReleasePipe {
        int read = -1;
        int write = -1;
        ReleasePipe() {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC) != 0) {
                throw std::runtime_error("FakeMarketplace: pipe2 failed");
            }
            read = fds[0];
            write = fds[1];
        }
        ~ReleasePipe() {
            ::close(read);
            ::close(write);
        }
        ReleasePipe(const ReleasePipe&) = delete;
        ReleasePipe& operator=(const ReleasePipe&) = delete;
    } release;
    // Last, so that it stops, and its handlers end, before the rest goes.
    TlsServer server;

    void release_holds() const {
        const char wake = 1;
        while (::write(release.write, &wake, 1) < 0 && errno == EINTR) {
        }
    }

    enum class HoldEnd { dropped, released, ran_out };

    // Holds a request until its client closes the connection (the socket's
    // peer hangs up), the holds are released or hold_limit passes.
    HoldEnd hold(int socket) const {
        const auto until = std::chrono::steady_clock::now() + hold_limit;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return HoldEnd::ran_out;
            }
            // A socket of -1 is left out by poll.
            pollfd fds[2] = {{release.read, POLLIN, 0}, {socket, POLLRDHUP, 0}};
            const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
            if (ready < 0 && errno != EINTR) {
                return HoldEnd::ran_out;
            }
            if (ready > 0 && fds[0].revents != 0) {
                return HoldEnd::released;
            }
            if (ready > 0 && fds[1].revents != 0) {
                return HoldEnd::dropped;
            }
        }
    }

    // Failure::hang: true when the reply is to be sent after all.
    bool held(const httplib::Request& req) {
        const int socket = connection_socket(server.port(), req.remote_port);
        const HoldEnd end = hold(socket);
        if (end != HoldEnd::ran_out) {
            drop_connection(socket);
        }
        std::lock_guard guard(mutex);
        held_sent += end == HoldEnd::ran_out ? 1 : 0;
        held_dropped += end == HoldEnd::dropped ? 1 : 0;
        held_changed.notify_all();
        return end == HoldEnd::ran_out;
    }

    void note(const httplib::Request& req) {
        std::lock_guard guard(mutex);
        log.push_back(req.target);
        cookies.push_back(req.get_header_value("Cookie"));
    }

    // Logs a suggestion or search request and waits out the reply delay.
    void note_delayed(const httplib::Request& req) {
        note(req);
        std::chrono::milliseconds delay{0};
        {
            std::lock_guard guard(mutex);
            delay = reply_delay;
        }
        if (delay.count() > 0) {
            std::this_thread::sleep_for(delay);
        }
    }

    // Serves a request that is not answered as asked, and says whether it did.
    bool intercepted(Endpoint endpoint, const std::string& keyword, const httplib::Request& req,
                     httplib::Response& res) {
        bool drop = false;
        bool check = false;
        bool sign_in = false;
        {
            std::lock_guard guard(mutex);
            auto it = drops.find({endpoint, keyword});
            if (it != drops.end() && it->second > 0) {
                --it->second;
                drop = true;
            }
            check = checks.count({endpoint, keyword}) > 0;
            sign_in = endpoint == Endpoint::search && session_required &&
                      req.get_header_value("Cookie").find(std::string(session_cookie) + "=") ==
                          std::string::npos;
        }
        if (drop) {
            drop_connection(connection_socket(server.port(), req.remote_port));
        } else if (check) {
            res.set_redirect("/_____tmd_____/punish?x5secdata=" + check_token(endpoint, keyword) +
                             "&x5step=1");
        } else if (sign_in) {
            res.set_redirect(
                login_origin() + "/member/login.jhtml?redirectURL=" +
                percent_encode("https://" + req.get_header_value("Host") + req.target));
        }
        return drop || check || sign_in;
    }

    std::string login_origin() const {
        const int port = server.port();
        return std::string("https://") + login_host() +
               (port == 443 ? "" : ":" + std::to_string(port));
    }

    std::optional<Failure> failure_for(Endpoint endpoint, const std::string& keyword) {
        std::lock_guard guard(mutex);
        auto it = failures.find({endpoint, keyword});
        if (it == failures.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    void answer(Endpoint endpoint, const std::string& keyword, const std::string& body,
                const char* type, const httplib::Request& req, httplib::Response& res) {
        std::optional<Failure> failure = failure_for(endpoint, keyword);
        if (!failure) {
            res.set_content(body, type);
            return;
        }
        switch (*failure) {
            case Failure::empty_body:
                res.set_content("", type);
                break;
            case Failure::status_500:
                res.status = 500;
                res.set_content("{\"error\":\"server\"}", type);
                break;
            case Failure::invalid_json:
                res.set_content("{\"result\":[[\"unterminated", type);
                break;
            case Failure::jsonp:
                res.set_content("jsonp12(" + body + ")", type);
                break;
            case Failure::no_markers:
                res.set_content(search_page(keyword, false, false), type);
                break;
            case Failure::end_marker_first:
                res.set_content(search_page(keyword, true, true), type);
                break;
            case Failure::slow:
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                res.set_content(body, type);
                break;
            case Failure::hang:
                if (held(req)) {
                    res.set_content(body, type);
                }
                break;
            case Failure::dropped: {
                const std::string half = body.substr(0, body.size() / 2);
                res.set_content_provider(
                    body.size(), type,
                    [half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                        if (offset == 0) {
                            sink.write(half.data(), half.size());
                            return true;
                        }
                        return false;  // closes the connection
                    });
                break;
            }
        }
    }
};

FakeMarketplace::FakeMarketplace() : FakeMarketplace("127.0.0.1", 0) {}

FakeMarketplace::FakeMarketplace(const std::string& address, int port)
    : impl_(std::make_unique<Impl>()) {
    impl_->address = address;
    Impl* impl = impl_.get();
    impl->server.server().Get("/sug", [impl](const httplib::Request& req, httplib::Response& res) {
        impl->note_delayed(req);
        const std::string keyword = query_value(req.target, "q");
        const bool pc = req.target.rfind("/sug?code=utf-8&", 0) == 0;
        const Endpoint endpoint = pc ? Endpoint::pc : Endpoint::mobile;
        if (impl->intercepted(endpoint, keyword, req, res)) {
            return;
        }
        impl->answer(endpoint, keyword, pc ? pc_reply(keyword) : mobile_reply(keyword),
                     "application/json", req, res);
    });
    impl->server.server().Get(
        "/search", [impl](const httplib::Request& req, httplib::Response& res) {
            impl->note_delayed(req);
            const std::string keyword = query_value(req.target, "q");
            if (impl->intercepted(Endpoint::search, keyword, req, res)) {
                return;
            }
            impl->answer(Endpoint::search, keyword, search_page(keyword, true, false),
                         "text/html; charset=utf-8", req, res);
        });
    impl->server.server().Get("/", [impl](const httplib::Request& req, httplib::Response& res) {
        impl->note(req);
        res.set_header("Cache-Control", "no-store");
        res.set_content(login_page(), "text/html; charset=utf-8");
    });
    impl->server.server().Get("/member/login.jhtml",
                              [impl](const httplib::Request& req, httplib::Response& res) {
                                  impl->note(req);
                                  res.set_header("Cache-Control", "no-store");
                                  res.set_content(login_page(), "text/html; charset=utf-8");
                              });
    // Signing in: any name and password will do; the session cookie is set
    // for the marketplace's parent domain, as the live sign-in sets its own.
    impl->server.server().Post(
        "/member/login.jhtml", [impl](const httplib::Request& req, httplib::Response& res) {
            impl->note(req);
            res.set_header("Set-Cookie", std::string(session_cookie) +
                                             "=signed-in; Domain=taobao.com; Path=/; "
                                             "Max-Age=86400; Secure; HttpOnly");
            res.set_content(
                "<!DOCTYPE html><html><head><title>OK</title></head>"
                "<body>signed in</body></html>",
                "text/html; charset=utf-8");
        });
    impl->server.server().Get("/_____tmd_____/punish",
                              [impl](const httplib::Request& req, httplib::Response& res) {
                                  impl->note(req);
                                  res.set_content(check_page(query_value(req.target, "x5secdata")),
                                                  "text/html; charset=utf-8");
                              });
    impl->server.server().Post(
        "/_____tmd_____/verify", [impl](const httplib::Request& req, httplib::Response& res) {
            impl->note(req);
            const auto passed = from_check_token(query_value("?" + req.body, "x5secdata"));
            if (!passed) {
                res.status = 400;
                return;
            }
            {
                std::lock_guard guard(impl->mutex);
                impl->checks.erase(*passed);
            }
            res.set_content("{\"passed\":true}", "application/json");
        });
    impl->server.server().set_post_routing_handler(
        [impl](const httplib::Request&, httplib::Response& res) {
            std::lock_guard guard(impl->mutex);
            if (impl->closing) {
                res.set_header("Connection", "close");
            }
        });
    // Enough workers for a client with eight requests in flight on each of
    // two hosts, each kept-alive connection holding one.
    impl->server.server().new_task_queue = [] { return new httplib::ThreadPool(32); };
    impl->server.start(address, port);
}

FakeMarketplace::~FakeMarketplace() {
    // Held requests end at once, so that the server stops without waiting.
    impl_->release_holds();
}

std::string FakeMarketplace::host() const {
    return impl_->address + ":" + std::to_string(impl_->server.port());
}

std::string FakeMarketplace::address() const {
    return impl_->address;
}

int FakeMarketplace::port() const {
    return impl_->server.port();
}

void FakeMarketplace::fail(Endpoint endpoint, const std::string& keyword, Failure failure) {
    std::lock_guard guard(impl_->mutex);
    impl_->failures[{endpoint, keyword}] = failure;
}

void FakeMarketplace::clear_failures() {
    std::lock_guard guard(impl_->mutex);
    impl_->failures.clear();
}

void FakeMarketplace::drop_connections(Endpoint endpoint, const std::string& keyword, int tries) {
    std::lock_guard guard(impl_->mutex);
    impl_->drops[{endpoint, keyword}] = tries;
    impl_->closing = true;
}

void FakeMarketplace::require_session(bool on) {
    std::lock_guard guard(impl_->mutex);
    impl_->session_required = on;
}

std::string FakeMarketplace::login_origin() const {
    return impl_->login_origin();
}

void FakeMarketplace::require_verification(Endpoint endpoint, const std::string& keyword) {
    std::lock_guard guard(impl_->mutex);
    impl_->checks.insert({endpoint, keyword});
}

void FakeMarketplace::clear_verification(Endpoint endpoint, const std::string& keyword) {
    std::lock_guard guard(impl_->mutex);
    impl_->checks.erase({endpoint, keyword});
}

std::vector<std::string> FakeMarketplace::requests() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->log;
}

std::vector<std::string> FakeMarketplace::steady_requests() const {
    static const std::regex timestamp("_ksTS=[0-9]+_");
    static const std::regex date("initiative_id=staobaoz_[0-9]{8}");
    std::vector<std::string> out;
    for (const std::string& r : requests()) {
        out.push_back(std::regex_replace(std::regex_replace(r, timestamp, "_ksTS=T_"), date,
                                         "initiative_id=staobaoz_D"));
    }
    return out;
}

std::vector<std::string> FakeMarketplace::request_cookies() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->cookies;
}

std::size_t FakeMarketplace::request_count() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->log.size();
}

std::size_t FakeMarketplace::held_replies_sent() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->held_sent;
}

std::size_t FakeMarketplace::held_requests_dropped() const {
    std::lock_guard guard(impl_->mutex);
    return impl_->held_dropped;
}

bool FakeMarketplace::await_held_requests_dropped(std::size_t count) const {
    std::unique_lock lock(impl_->mutex);
    return impl_->held_changed.wait_for(lock, std::chrono::minutes(1),
                                        [&] { return impl_->held_dropped >= count; });
}

void FakeMarketplace::set_reply_delay(std::chrono::milliseconds delay) {
    std::lock_guard guard(impl_->mutex);
    impl_->reply_delay = delay;
}

void FakeMarketplace::clear_requests() {
    std::lock_guard guard(impl_->mutex);
    impl_->log.clear();
    impl_->cookies.clear();
    impl_->held_sent = 0;
    impl_->held_dropped = 0;
}

}  // namespace quorvel::testsupport
