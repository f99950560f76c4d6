#include "tests/support/test_servers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>

namespace quorvel::testsupport {

namespace {

// ---------------------------------------------------------------------------
// Certificate generation

struct PkeyFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
};
struct X509Free {
    void operator()(X509* p) const { X509_free(p); }
};
struct BnFree {
    void operator()(BIGNUM* p) const { BN_free(p); }
};
struct ExtFree {
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Throws with the message plus whatever OpenSSL left on its error queue.
[[noreturn]] void throw_openssl(const std::string& what) {
    std::string message = "test certificate: " + what;
    while (unsigned long code = ERR_get_error()) {
        char buf[256];
        ERR_error_string_n(code, buf, sizeof buf);
        message += "; ";
        message += buf;
    }
    throw std::runtime_error(message);
}

void add_extension(X509* cert, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, ExtFree> ext(
        X509V3_EXT_conf_nid(nullptr, &ctx, nid, const_cast<char*>(value)));
    if (!ext) {
        throw_openssl(std::string("cannot build extension ") + OBJ_nid2sn(nid));
    }
    if (X509_add_ext(cert, ext.get(), -1) != 1) {
        throw_openssl(std::string("cannot add extension ") + OBJ_nid2sn(nid));
    }
}

std::unique_ptr<X509, X509Free> make_self_signed(EVP_PKEY* key, const char* common_name,
                                                 const char* alt_names) {
    std::unique_ptr<X509, X509Free> cert(X509_new());
    if (!cert) {
        throw_openssl("X509_new failed");
    }
    if (X509_set_version(cert.get(), X509_VERSION_3) != 1) {
        throw_openssl("cannot set version");
    }

    // Random positive 63-bit serial, so certificates from different runs differ.
    std::unique_ptr<BIGNUM, BnFree> serial(BN_new());
    if (!serial || BN_rand(serial.get(), 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
        BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert.get())) == nullptr) {
        throw_openssl("cannot set serial number");
    }

    constexpr long kDay = 24L * 60 * 60;
    if (X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kDay) == nullptr ||
        X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3653 * kDay) == nullptr) {
        throw_openssl("cannot set validity");
    }

    X509_NAME* name = X509_get_subject_name(cert.get());
    if (X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>(common_name), -1, -1,
                                   0) != 1 ||
        X509_set_issuer_name(cert.get(), name) != 1) {
        throw_openssl("cannot set names");
    }
    if (X509_set_pubkey(cert.get(), key) != 1) {
        throw_openssl("cannot set public key");
    }

    add_extension(cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    add_extension(cert.get(), NID_key_usage, "critical,digitalSignature,keyCertSign");
    add_extension(cert.get(), NID_subject_key_identifier, "hash");
    add_extension(cert.get(), NID_subject_alt_name, alt_names);

    if (X509_sign(cert.get(), key, EVP_sha256()) == 0) {
        throw_openssl("cannot sign");
    }
    return cert;
}

std::unique_ptr<std::FILE, FileClose> open_for_writing(const std::string& path, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "test certificate: open " + path);
    }
    std::FILE* f = ::fdopen(fd, "w");
    if (f == nullptr) {
        int err = errno;
        ::close(fd);
        throw std::system_error(err, std::generic_category(), "test certificate: fdopen");
    }
    return std::unique_ptr<std::FILE, FileClose>(f);
}

void close_checked(std::unique_ptr<std::FILE, FileClose>& f, const std::string& path) {
    std::FILE* raw = f.release();
    if (std::fclose(raw) != 0) {
        throw std::system_error(errno, std::generic_category(), "test certificate: write " + path);
    }
}

// Owns the generated files and removes them when the process exits.
struct CertificateFiles {
    TestCertificate paths;
    std::string dir;

    ~CertificateFiles() {
        if (dir.empty()) {
            return;
        }
        ::unlink(paths.cert_path.c_str());
        ::unlink(paths.key_path.c_str());
        ::rmdir(dir.c_str());
    }
};

void generate_certificate(CertificateFiles& files, const char* common_name, const char* alt_names) {
    std::unique_ptr<EVP_PKEY, PkeyFree> key(EVP_EC_gen("P-256"));
    if (!key) {
        throw_openssl("cannot generate P-256 key");
    }
    auto cert = make_self_signed(key.get(), common_name, alt_names);

    char dir_template[] = "/tmp/quorvel-test-cert-XXXXXX";
    if (::mkdtemp(dir_template) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "test certificate: mkdtemp");
    }
    std::string dir = dir_template;
    std::string cert_path = dir + "/cert.pem";
    std::string key_path = dir + "/key.pem";
    // Record the paths first so the files are removed at exit even if writing fails.
    files.dir = dir;
    files.paths.cert_path = cert_path;
    files.paths.key_path = key_path;

    auto key_file = open_for_writing(key_path, 0600);
    if (PEM_write_PrivateKey(key_file.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
        1) {
        throw_openssl("cannot write " + key_path);
    }
    close_checked(key_file, key_path);

    auto cert_file = open_for_writing(cert_path, 0644);
    if (PEM_write_X509(cert_file.get(), cert.get()) != 1) {
        throw_openssl("cannot write " + cert_path);
    }
    close_checked(cert_file, cert_path);
}

// ---------------------------------------------------------------------------
// Socket helpers

// Writes every byte, retrying on partial writes and EINTR; false if the peer is gone.
bool send_all(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Appends what arrives next to `buf`; false on end of stream or error.
bool recv_some(int fd, std::string& buf) {
    char chunk[16384];
    while (true) {
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n > 0) {
            buf.append(chunk, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Content-Length of a request head (0 when absent or not a number).
size_t content_length(std::string_view head) {
    size_t pos = head.find("\r\n");
    while (pos != std::string_view::npos) {
        size_t start = pos + 2;
        size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line = head.substr(start, end - start);
        size_t colon = line.find(':');
        if (colon != std::string_view::npos && iequals(line.substr(0, colon), "content-length")) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
                value.remove_prefix(1);
            }
            size_t length = 0;
            auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), length);
            (void)ptr;
            return ec == std::errc() ? length : 0;
        }
        pos = end;
    }
    return 0;
}

const char* reason_phrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

}  // namespace

const TestCertificate& test_certificate() {
    static CertificateFiles files;
    static std::once_flag once;
    std::call_once(once, [] {
        generate_certificate(files, "localhost",
                             "DNS:localhost,IP:127.0.0.1,"
                             "DNS:suggest.taobao.com,DNS:s.taobao.com,DNS:login.taobao.com,"
                             "DNS:www.tmall.com,DNS:nottaobao.com");
    });
    return files.paths;
}

const TestCertificate& other_host_certificate() {
    static CertificateFiles files;
    static std::once_flag once;
    std::call_once(once, [] { generate_certificate(files, "other.example", "DNS:other.example"); });
    return files.paths;
}

std::string http_response(int status, const std::string& body, const std::string& extra_headers) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason_phrase(status) + "\r\n";
    out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    out += extra_headers;
    out += "\r\n";
    out += body;
    return out;
}

// ---------------------------------------------------------------------------
// RawServer

struct RawServer::Impl {
    struct Connection {
        int fd = -1;  // guarded by mutex; -1 once the connection thread closed it
        std::thread thread;
        std::atomic<bool> done{false};
    };

    Responder responder;
    int listen_fd = -1;
    int wake_read = -1;  // the accept loop polls this; the destructor writes to wake it
    int wake_write = -1;
    int port = 0;
    std::thread accept_thread;

    mutable std::mutex mutex;
    std::condition_variable stop_cv;
    bool stopping = false;
    std::vector<RawRequest> requests;
    int connections = 0;
    std::list<Connection> open;  // std::list keeps addresses stable for the threads

    void accept_loop();
    void serve(Connection& conn, int number);
    void close_connection(Connection& conn);
    void reap_finished();  // caller holds mutex
};

void RawServer::Impl::accept_loop() {
    while (true) {
        pollfd fds[2] = {{listen_fd, POLLIN, 0}, {wake_read, POLLIN, 0}};
        int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of resources: back off instead of spinning on the pending connection.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            continue;
        }
        std::lock_guard lock(mutex);
        if (stopping) {
            ::close(fd);
            return;
        }
        reap_finished();
        int number = ++connections;
        Connection& conn = open.emplace_back();
        conn.fd = fd;
        conn.thread = std::thread([this, &conn, number] { serve(conn, number); });
    }
}

void RawServer::Impl::reap_finished() {
    for (auto it = open.begin(); it != open.end();) {
        if (it->done.load()) {
            it->thread.join();
            it = open.erase(it);
        } else {
            ++it;
        }
    }
}

void RawServer::Impl::close_connection(Connection& conn) {
    std::lock_guard lock(mutex);
    if (conn.fd >= 0) {
        ::shutdown(conn.fd, SHUT_WR);
        ::close(conn.fd);
        conn.fd = -1;
    }
}

void RawServer::Impl::serve(Connection& conn, int number) {
    // The fd stays valid until close_connection below, which only this thread calls.
    const int fd = conn.fd;
    std::string buf;
    bool keep_going = true;
    while (keep_going) {
        size_t head_end;
        while ((head_end = buf.find("\r\n\r\n")) == std::string::npos) {
            if (!recv_some(fd, buf)) {
                keep_going = false;
                break;
            }
        }
        if (!keep_going) {
            break;
        }

        RawRequest request;
        request.head = buf.substr(0, head_end + 4);
        request.request_line = request.head.substr(0, request.head.find("\r\n"));
        request.connection = number;
        const size_t body_length = content_length(request.head);
        while (buf.size() - request.head.size() < body_length) {
            if (!recv_some(fd, buf)) {
                keep_going = false;
                break;
            }
        }
        if (!keep_going) {
            break;
        }
        request.body = buf.substr(request.head.size(), body_length);
        // Whatever follows belongs to the next (pipelined) request.
        buf.erase(0, request.head.size() + body_length);

        {
            std::lock_guard lock(mutex);
            requests.push_back(request);
        }

        RawResponse response;
        try {
            response = responder(request);
        } catch (...) {
            // A throwing responder drops the connection rather than ending the process.
            break;
        }

        if (response.delay.count() > 0) {
            std::unique_lock lock(mutex);
            if (stop_cv.wait_for(lock, response.delay, [this] { return stopping; })) {
                break;
            }
        }
        if (response.bytes.empty() || !send_all(fd, response.bytes) || response.close) {
            break;
        }
    }
    close_connection(conn);
    conn.done.store(true);
}

RawServer::RawServer(Responder responder) : impl_(std::make_unique<Impl>()) {
    impl_->responder = std::move(responder);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "RawServer: pipe2");
    }
    impl_->wake_read = pipe_fds[0];
    impl_->wake_write = pipe_fds[1];

    auto fail = [this](const char* what) {
        int err = errno;
        if (impl_->listen_fd >= 0) {
            ::close(impl_->listen_fd);
        }
        ::close(impl_->wake_read);
        ::close(impl_->wake_write);
        throw std::system_error(err, std::generic_category(), std::string("RawServer: ") + what);
    };

    impl_->listen_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (impl_->listen_fd < 0) {
        fail("socket");
    }
    int one = 1;
    ::setsockopt(impl_->listen_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(impl_->listen_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        fail("bind");
    }
    if (::listen(impl_->listen_fd, SOMAXCONN) != 0) {
        fail("listen");
    }
    socklen_t len = sizeof addr;
    if (::getsockname(impl_->listen_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        fail("getsockname");
    }
    impl_->port = ntohs(addr.sin_port);

    impl_->accept_thread = std::thread([impl = impl_.get()] { impl->accept_loop(); });
}

RawServer::~RawServer() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->stop_cv.notify_all();

    const char wake = 1;
    while (::write(impl_->wake_write, &wake, 1) < 0 && errno == EINTR) {
    }
    impl_->accept_thread.join();

    // No new connections can appear now; unblock the reads of those still open.
    {
        std::lock_guard lock(impl_->mutex);
        for (auto& conn : impl_->open) {
            if (conn.fd >= 0) {
                ::shutdown(conn.fd, SHUT_RDWR);
            }
        }
    }
    for (auto& conn : impl_->open) {
        conn.thread.join();
    }

    ::close(impl_->listen_fd);
    ::close(impl_->wake_read);
    ::close(impl_->wake_write);
}

int RawServer::port() const {
    return impl_->port;
}

std::string RawServer::base_url() const {
    return "http://127.0.0.1:" + std::to_string(impl_->port);
}

std::vector<RawRequest> RawServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

int RawServer::connections() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->connections;
}

// ---------------------------------------------------------------------------
// TlsServer

struct TlsServer::Impl {
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    std::atomic<bool> exited{false};
    int port = -1;
};

TlsServer::TlsServer() : TlsServer(test_certificate()) {}

TlsServer::TlsServer(const TestCertificate& cert) : impl_(std::make_unique<Impl>()) {
    impl_->server =
        std::make_unique<httplib::SSLServer>(cert.cert_path.c_str(), cert.key_path.c_str());
    if (!impl_->server->is_valid()) {
        throw std::runtime_error("TlsServer: cannot load the test certificate");
    }
    impl_->server->set_tcp_nodelay(true);
    impl_->server->set_keep_alive_max_count(100000);
    // An idle kept-alive connection holds up stop() for at most this long.
    impl_->server->set_keep_alive_timeout(1);
}

TlsServer::~TlsServer() {
    if (impl_->thread.joinable()) {
        impl_->server->stop();
        impl_->thread.join();
    }
}

httplib::SSLServer& TlsServer::server() {
    return *impl_->server;
}

void TlsServer::start() {
    start("127.0.0.1", 0);
}

void TlsServer::start(const std::string& address, int port) {
    if (impl_->thread.joinable()) {
        throw std::logic_error("TlsServer: already started");
    }
    if (port == 0) {
        port = impl_->server->bind_to_any_port(address);
    } else if (!impl_->server->bind_to_port(address, port)) {
        port = -1;
    }
    if (port < 0) {
        throw std::runtime_error("TlsServer: cannot bind to " + address);
    }
    impl_->port = port;
    impl_->thread = std::thread([impl = impl_.get()] {
        impl->server->listen_after_bind();
        impl->exited.store(true);
    });
    // stop() is a no-op until the listening loop has begun, so wait for it.
    while (!impl_->server->is_running()) {
        if (impl_->exited.load()) {
            impl_->thread.join();
            throw std::runtime_error("TlsServer: listening loop ended at once");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int TlsServer::port() const {
    return impl_->port;
}

std::string TlsServer::base_url() const {
    return "https://127.0.0.1:" + std::to_string(impl_->port);
}

}  // namespace quorvel::testsupport
