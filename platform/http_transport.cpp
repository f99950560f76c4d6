#include "platform/http_transport.h"

#include <curl/curl.h>

#include <atomic>
#include <string_view>
#include <vector>

#include "platform/ascii_text.h"
#include "platform/curl_handles.h"
#include "platform/exchange_parts.h"
#include "platform/http_transport_system.h"
#include "platform/log.h"
#include "platform/shared_caches.h"
#include "platform/transport_settings.h"

namespace quorvel::platform {
namespace {

constexpr long connect_timeout_seconds = 60;
// A transfer that delivers no data for this long is abandoned.
constexpr long stall_timeout_seconds = 30;
constexpr long max_redirects = 10;
// Reply header blocks beyond this size are treated as hostile and fail the
// exchange; it is below libcurl's own limit, so the failure is named for what it is.
constexpr std::size_t max_reply_headers = 256u * 1024u;

bool append_header(HeaderList& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) {
        return false;
    }
    list.release();
    list.reset(grown);
    return true;
}

// Percent-encodes the bytes a URL cannot carry as they are (controls, space,
// bytes above 0x7E and a few delimiters); everything else, "%" included,
// passes unchanged so that already-encoded paths stay as written.
std::string encode_path(std::string_view path) {
    static constexpr char hex[] = "0123456789ABCDEF";
    static constexpr std::string_view unsafe = "\"<>\\^`{|}";
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || unsafe.find(c) != std::string_view::npos) {
            out.push_back('%');
            out.push_back(hex[byte >> 4]);
            out.push_back(hex[byte & 0x0F]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool block_has_header(std::string_view block, std::string_view name) {
    for (std::string_view line : pieces(block, "\r\n", Delimiter::whole_text)) {
        if (starts_with_ignoring_case(line, name) && line.size() > name.size() &&
            line[name.size()] == ':') {
            return true;
        }
    }
    return false;
}

// Turns the caller's header block into curl's list, line by line and in order.
// curl reads "Name:" with nothing after the colon as "drop this header", so
// such a line is passed in curl's "Name;" form to be sent with an empty value.
// Empty lines are skipped: they would end the header section early.
bool build_header_list(const TransportRequest& request, HeaderList& list) {
    std::string_view block = request.header_block;
    for (std::string_view line : pieces(block, "\r\n", Delimiter::whole_text)) {
        if (line.empty() || line.find_first_of("\r\n") != std::string_view::npos) {
            continue;
        }
        std::size_t colon = line.find(':');
        std::string entry(line);
        if (colon != std::string_view::npos &&
            line.find_first_not_of(" \t", colon + 1) == std::string_view::npos) {
            entry = std::string(line.substr(0, colon)) + ";";
        }
        if (!append_header(list, entry)) {
            return false;
        }
    }
    // curl would add "Expect: 100-continue" to larger bodies and a form
    // Content-Type to every body; the program sends neither unless asked.
    if (!block_has_header(block, "Expect") && !append_header(list, "Expect:")) {
        return false;
    }
    if (request.send_body && !block_has_header(block, "Content-Type") &&
        !append_header(list, "Content-Type:")) {
        return false;
    }
    return true;
}

// Asked by curl now and then during a transfer: non-zero ends it.
int on_progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Collector*>(user)->stop->stop_requested() ? 1 : 0;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* collector = static_cast<Collector*>(user);
    std::size_t n = size * count;
    if (collector->reply.body.size() + n > max_reply_body) {
        collector->body_too_large = true;
        return 0;  // aborts the transfer
    }
    collector->reply.body.insert(collector->reply.body.end(), data, data + n);
    return n;
}

// Keeps the header block of the last reply only: every status line (a
// redirect, an interim 100 reply) starts the block afresh. Lines are stored
// with CR LF endings whatever the server used.
std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* collector = static_cast<Collector*>(user);
    std::size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    if (line.substr(0, 5) == "HTTP/") {
        collector->reply.headers.clear();
        collector->reply.got_reply = true;
    }
    if (collector->reply.headers.size() + line.size() + 2 > max_reply_headers) {
        collector->headers_too_large = true;
        return 0;
    }
    collector->reply.headers.append(line);
    collector->reply.headers.append("\r\n");
    return n;
}

bool configure(CURL* curl, const TransportRequest& request, ConnectionPolicy policy,
               Multiplexing multiplexing, const std::string& url, const std::string& proxy,
               curl_slist* headers, curl_slist* resolve, Collector& collector) {
    const TransportOptions& options = request.options;
    // The agent becomes a header line of its own: it ends at any line break.
    const std::string agent = request.agent.substr(0, request.agent.find_first_of("\r\n"));
    bool ok = true;
    auto set = [&ok](CURLcode code) { ok = ok && code == CURLE_OK; };

    set(curl_easy_setopt(curl, CURLOPT_URL, url.c_str()));
    set(curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L));
    if (multiplexing == Multiplexing::where_offered && http2_available()) {
        // HTTP/2 where TLS negotiates it, else HTTP/1.1; a request waits for
        // a connection being opened to see whether it can share it.
        set(curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_2TLS));
        set(curl_easy_setopt(curl, CURLOPT_PIPEWAIT, 1L));
    } else {
        set(curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1));
    }
    set(curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https"));
    // An HTTPS request is never carried on to plain HTTP; HTTP may move to HTTPS.
    set(curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR,
                         options.secure ? "https" : "http,https"));
    set(curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, options.follow_redirects ? 1L : 0L));
    set(curl_easy_setopt(curl, CURLOPT_MAXREDIRS, max_redirects));
    set(curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connect_timeout_seconds));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, stall_timeout_seconds));
    set(curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip, deflate"));
    set(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L));
    set(curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str()));
    set(curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers));
    // An empty proxy text also stops curl from reading proxy variables from
    // the environment: the program takes no configuration from outside.
    set(curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str()));
    set(curl_easy_setopt(curl, CURLOPT_NOPROXY, ""));
    set(curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));

    if (resolve != nullptr) {
        set(curl_easy_setopt(curl, CURLOPT_RESOLVE, resolve));
    }
    std::string extra_ca = shared_caches().extra_ca();
    if (!extra_ca.empty()) {
        set(trust_extra_ca_file(curl, extra_ca));
    }

    if (policy == ConnectionPolicy::shared) {
        set(curl_easy_setopt(curl, CURLOPT_SHARE, shared_caches().share()));
        if (options.shared_cookies) {
            // Switches the cookie engine on; with the share set it uses the
            // process-wide store for sending and storing.
            set(curl_easy_setopt(curl, CURLOPT_COOKIEFILE, ""));
        }
    } else {
        set(curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L));
        set(curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L));
    }

    if (request.verb == "HEAD") {
        set(curl_easy_setopt(curl, CURLOPT_NOBODY, 1L));
    } else if (request.send_body) {
        static const char empty[] = "";
        const char* data =
            request.body.empty() ? empty : reinterpret_cast<const char*>(request.body.data());
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size())));
        set(curl_easy_setopt(curl, CURLOPT_POSTFIELDS, data));
        if (request.verb != "POST") {
            set(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.verb.c_str()));
        }
    } else if (request.verb != "GET") {
        set(curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.verb.c_str()));
    }

    set(curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &on_body));
    set(curl_easy_setopt(curl, CURLOPT_WRITEDATA, &collector));
    set(curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &on_header));
    set(curl_easy_setopt(curl, CURLOPT_HEADERDATA, &collector));
    set(curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &open_socket));
    set(curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &on_progress));
    set(curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &collector));
    set(curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L));
    return ok;
}

TransportError error_of(CURLcode code, const Collector& collector) {
    if (collector.body_too_large || collector.headers_too_large) {
        return TransportError::reply_too_large;
    }
    switch (code) {
        case CURLE_OK:
            return TransportError::none;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return TransportError::could_not_resolve;
        case CURLE_COULDNT_CONNECT:
            return TransportError::could_not_connect;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
            return TransportError::tls_failure;
        case CURLE_OPERATION_TIMEDOUT:
            return TransportError::timed_out;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return TransportError::connection_dropped;
        case CURLE_FILESIZE_EXCEEDED:
            return TransportError::reply_too_large;
        case CURLE_ABORTED_BY_CALLBACK:
            return TransportError::aborted;
        default:
            return TransportError::other;
    }
}

// Runs the transfer on a private multi handle, so that a stop request can wake
// the wait at once (curl_multi_wakeup is safe from any thread) and end this
// exchange alone.
CURLcode run_transfer(CURL* curl, const std::stop_token& stop) {
    MultiHandle multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), curl) != CURLM_OK) {
        return CURLE_OUT_OF_MEMORY;
    }
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    {
        // Declared after the multi handle, so it is gone before the handle is.
        std::stop_callback wake(stop, [m = multi.get()] { curl_multi_wakeup(m); });
        while (!stop.stop_requested()) {
            int running = 0;
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            if (running == 0) {
                int left = 0;
                CURLMsg* message = curl_multi_info_read(multi.get(), &left);
                result = (message != nullptr && message->msg == CURLMSG_DONE) ? message->data.result
                                                                              : CURLE_FAILED_INIT;
                break;
            }
            // Waits for the sockets, curl's own timers or a wake-up, whichever
            // comes first.
            if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
        }
    }
    curl_multi_remove_handle(multi.get(), curl);
    return result;
}

// The request as the log shows it: never the query, which may carry what the
// user typed or a session.
std::string loggable_target(const TransportRequest& request) {
    std::string_view path = request.path;
    path = path.substr(0, path.find('?'));
    return request.verb + " " + (request.options.secure ? "https://" : "http://") + request.host +
           ":" + std::to_string(request.port) + std::string(path);
}

void log_failure(const TransportRequest& request, const ExchangeOutcome& outcome) {
    std::string line = "exchange failed: " + loggable_target(request) + ": " +
                       std::string(transport_error_name(outcome.error));
    if (!outcome.error_text.empty()) {
        line += " (" + outcome.error_text + ")";
    }
    line += ", " + std::to_string(outcome.elapsed.count()) + " ms";
    if (outcome.error == TransportError::aborted) {
        log_info(line);
    } else {
        log_warning(line);
    }
}

TransportReply failed_before_sending(const TransportRequest& request, std::string why) {
    TransportReply reply;
    reply.outcome.error = TransportError::other;
    reply.outcome.error_text = std::move(why);
    log_failure(request, reply.outcome);
    return reply;
}

}  // namespace

std::string_view transport_error_name(TransportError error) {
    switch (error) {
        case TransportError::none:
            return "no error";
        case TransportError::could_not_resolve:
            return "could not resolve the host";
        case TransportError::could_not_connect:
            return "could not connect";
        case TransportError::tls_failure:
            return "TLS failure";
        case TransportError::timed_out:
            return "timed out";
        case TransportError::connection_dropped:
            return "connection dropped";
        case TransportError::reply_too_large:
            return "reply too large";
        case TransportError::aborted:
            return "aborted";
        case TransportError::other:
            break;
    }
    return "failed";
}

bool http2_available() {
    const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
    return version != nullptr && (version->features & CURL_VERSION_HTTP2) != 0;
}

tl::expected<std::unique_ptr<PreparedExchange>, TransportReply> prepare_exchange(
    TransportRequest request, ConnectionPolicy policy, Multiplexing multiplexing) {
    auto exchange = std::make_unique<PreparedExchange>();
    exchange->started = std::chrono::steady_clock::now();
    if (request.stop.stop_requested()) {
        TransportReply reply;
        reply.outcome.error = TransportError::aborted;
        return tl::unexpected(std::move(reply));
    }
    if (shared_caches().share() == nullptr) {
        return tl::unexpected(
            failed_before_sending(request, "the connection caches could not be set up"));
    }
    if (!plain_host(request.host) || request.port < 1 || request.port > 65535) {
        return tl::unexpected(
            failed_before_sending(request, "not a host and port that can be reached"));
    }
    if (request.path.empty() || request.path.front() != '/') {
        return tl::unexpected(
            failed_before_sending(request, "the object path does not start with /"));
    }
    exchange->request = std::move(request);
    const TransportRequest& sent = exchange->request;
    exchange->curl.reset(curl_easy_init());
    bool listed = exchange->curl && build_header_list(sent, exchange->headers);
    for (const std::string& entry : shared_caches().resolve()) {
        listed = listed && append_header(exchange->resolve, entry);
    }
    if (!listed) {
        return tl::unexpected(failed_before_sending(sent, "out of memory"));
    }
    const bool secure = sent.options.secure;
    const std::string url = std::string(secure ? "https://" : "http://") + sent.host + ":" +
                            std::to_string(sent.port) + encode_path(sent.path);
    const std::string proxy = select_proxy(sent.proxy, secure);

    exchange->collector.stop = &sent.stop;
    if (!configure(exchange->curl.get(), sent, policy, multiplexing, url, proxy,
                   exchange->headers.get(), exchange->resolve.get(), exchange->collector)) {
        return tl::unexpected(failed_before_sending(sent, "the transfer could not be configured"));
    }
    curl_easy_setopt(exchange->curl.get(), CURLOPT_ERRORBUFFER, exchange->error_buffer);
    return exchange;
}

TransportReply finish_exchange(PreparedExchange& exchange, CURLcode result) {
    CURL* curl = exchange.curl.get();
    const TransportRequest& request = exchange.request;
    const Collector& collector = exchange.collector;
    TransportReply reply = std::move(exchange.collector.reply);
    ExchangeOutcome& outcome = reply.outcome;
    // A transfer that completed counts as completed, even when a stop came
    // just after it.
    outcome.error = result != CURLE_OK && request.stop.stop_requested() &&
                            !collector.body_too_large && !collector.headers_too_large
                        ? TransportError::aborted
                        : error_of(result, collector);
    outcome.body_complete = result == CURLE_OK;
    if (outcome.error != TransportError::none) {
        outcome.error_text = exchange.error_buffer[0] != '\0'
                                 ? std::string(exchange.error_buffer)
                                 : std::string(curl_easy_strerror(result));
    }
    char* effective = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK &&
        effective != nullptr) {
        outcome.final_url = effective;
    }
    long status = 0;
    if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK) {
        outcome.status = status;
    }
    if (outcome.error == TransportError::reply_too_large) {
        // Nothing of a hostile reply is handed on.
        reply.body.clear();
        reply.headers.clear();
        reply.got_reply = false;
    }
    if (!reply.got_reply) {
        reply.headers.clear();
    }
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - exchange.started);
    if (outcome.error != TransportError::none) {
        log_failure(request, outcome);
    }
    return reply;
}

TransportReply perform_exchange(const TransportRequest& request, ConnectionPolicy policy) {
    auto exchange = prepare_exchange(request, policy, Multiplexing::off);
    if (!exchange) {
        return std::move(exchange.error());
    }
    const CURLcode result = run_transfer((*exchange)->curl.get(), (*exchange)->request.stop);
    return finish_exchange(**exchange, result);
}

namespace {
std::atomic<ConnectionPolicy> default_policy{ConnectionPolicy::shared};
}  // namespace

TransportReply perform_exchange(const TransportRequest& request) {
    return perform_exchange(request, default_policy.load());
}

void set_default_connection_policy(ConnectionPolicy policy) {
    default_policy.store(policy);
}

void set_extra_ca_file(const std::string& path) {
    shared_caches().set_extra_ca(path);
}

void set_resolve_entries(const std::vector<ResolveEntry>& entries) {
    std::vector<std::string> texts;
    for (const ResolveEntry& entry : entries) {
        texts.push_back(entry.text());
    }
    shared_caches().set_resolve(std::move(texts));
}

}  // namespace quorvel::platform
