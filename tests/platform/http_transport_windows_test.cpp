// The transport on Windows against a plain HTTP server on the loopback
// address, written on Winsock here (the Linux test servers are not built for
// Windows): sockets through the transport's own opener, names through
// --resolve entries, and a refused connection.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/http_transport.h"

namespace quorvel::platform {
namespace {

// Answers every connection with `reply` once its request head has arrived,
// and keeps the heads.
class LoopbackServer {
  public:
    explicit LoopbackServer(std::string reply) : reply_(std::move(reply)) {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener_, 4) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        closesocket(listener_);
        if (thread_.joinable()) {
            thread_.join();
        }
        if (started_) {
            WSACleanup();
        }
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    std::vector<std::string> heads() {
        std::lock_guard guard(mutex_);
        return heads_;
    }

  private:
    void serve() {
        while (true) {
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                return;  // the listener was closed
            }
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const int n = recv(client, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(n));
            }
            {
                std::lock_guard guard(mutex_);
                heads_.push_back(head);
            }
            send(client, reply_.data(), static_cast<int>(reply_.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::string reply_;
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> heads_;
};

TransportRequest get(const std::string& host, int port) {
    TransportRequest request;
    request.agent = "agent";
    request.host = host;
    request.port = port;
    request.path = "/words?q=1";
    request.verb = "GET";
    return request;
}

TEST(HttpTransportWindows, ExchangesWithALoopbackServer) {
    LoopbackServer server("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nwords");
    ASSERT_NE(server.port(), 0);
    const TransportReply reply =
        perform_exchange(get("127.0.0.1", server.port()), ConnectionPolicy::fresh);
    EXPECT_TRUE(reply.got_reply) << reply.outcome.error_text;
    EXPECT_EQ(reply.outcome.status, 200);
    EXPECT_EQ(std::string(reply.body.begin(), reply.body.end()), "words");

    // A name that does not resolve reaches the server through an entry.
    const std::string port = std::to_string(server.port());
    set_resolve_entries({*parse_resolve_entry("no-such-host.invalid:" + port + ":127.0.0.1")});
    const TransportReply resolved = perform_exchange(get("no-such-host.invalid", server.port()));
    set_resolve_entries({});
    EXPECT_EQ(resolved.outcome.status, 200) << resolved.outcome.error_text;
    const auto heads = server.heads();
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0].rfind("GET /words?q=1 HTTP/1.1\r\n", 0), 0u) << heads[0];
    EXPECT_NE(heads[1].find("\r\nHost: no-such-host.invalid:" + port + "\r\n"), std::string::npos)
        << heads[1];
}

TEST(HttpTransportWindows, ARefusedConnectionSaysSo) {
    int closed_port = 0;
    {
        LoopbackServer gone("");
        closed_port = gone.port();
    }
    ASSERT_NE(closed_port, 0);
    const TransportReply reply = perform_exchange(get("127.0.0.1", closed_port));
    EXPECT_FALSE(reply.got_reply);
    EXPECT_EQ(reply.outcome.error, TransportError::could_not_connect) << reply.outcome.error_text;
}

}  // namespace
}  // namespace quorvel::platform
