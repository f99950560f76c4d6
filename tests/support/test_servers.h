#pragma once
// Real local servers for the network tests: a raw HTTP/1.1 server that records
// the exact bytes each request arrives with, and an HTTPS server (cpp-httplib)
// with a self-signed certificate for localhost and 127.0.0.1.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace httplib {
class SSLServer;
}

namespace quorvel::testsupport {

// Key and self-signed certificate (subjectAltName DNS:localhost, IP:127.0.0.1,
// the marketplace's default hosts suggest.taobao.com and s.taobao.com, for
// the command line, which always asks those, its sign-in host
// login.taobao.com, and www.tmall.com and nottaobao.com, for the tests of
// which hosts a cookie goes to), generated once per process into a temporary
// folder. The certificate is its own CA, so a client that trusts cert_path
// trusts the servers below.
struct TestCertificate {
    std::string cert_path;
    std::string key_path;
};
const TestCertificate& test_certificate();

// The same kind of certificate, for the host name other.example alone: a
// client that trusts it must still refuse it from 127.0.0.1.
const TestCertificate& other_host_certificate();

// One request as it arrived on the socket.
struct RawRequest {
    std::string head;  // request line and header lines, through the empty line, byte for byte
    std::string body;  // Content-Length bytes after the head (chunked bodies are not supported)
    std::string request_line;  // first line of head, without CR LF
    int connection = 0;        // 1-based number of the TCP connection it came on
};

// What the server sends back for one request: the raw bytes to write, then
// whether to close the connection. An empty `bytes` with close=true drops the
// connection without answering.
struct RawResponse {
    std::string bytes;
    bool close = false;
    std::chrono::milliseconds delay{0};  // wait this long before writing
};

// Builds a complete HTTP/1.1 response with Content-Length; extra_headers are
// full lines each ended by CR LF.
std::string http_response(int status, const std::string& body,
                          const std::string& extra_headers = "");

// Plain HTTP server on 127.0.0.1 with an ephemeral port; one thread per
// connection, keep-alive honoured until the responder asks to close or the
// peer closes. Stops and joins every thread in its destructor.
class RawServer {
  public:
    using Responder = std::function<RawResponse(const RawRequest&)>;
    explicit RawServer(Responder responder);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const;
    std::string base_url() const;  // "http://127.0.0.1:PORT"
    std::vector<RawRequest> requests() const;
    int connections() const;  // TCP connections accepted so far

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// HTTPS server (cpp-httplib over OpenSSL) on 127.0.0.1 with an ephemeral port
// and the test certificate. TCP_NODELAY is on and the keep-alive count raised,
// so warm connections are reused. Register handlers through server() before
// start(); the destructor stops it.
class TlsServer {
  public:
    TlsServer();  // with test_certificate()
    explicit TlsServer(const TestCertificate& certificate);
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    httplib::SSLServer& server();
    void start();  // binds 127.0.0.1 on a free port, listens on a thread, waits until ready
    void start(const std::string& address, int port);  // port 0: a free one
    int port() const;
    std::string base_url() const;  // "https://127.0.0.1:PORT"

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel::testsupport
