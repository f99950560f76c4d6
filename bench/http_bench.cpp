// Sequential HTTPS GETs against a local server: the warm shared transport
// against a connection opened and closed for every request.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include "platform/http_transport.h"
#include "tests/support/test_servers.h"
#include "web/http_request.h"

namespace {

using namespace quorvel;

testsupport::TlsServer& server() {
    static testsupport::TlsServer* instance = [] {
        platform::set_extra_ca_file(testsupport::test_certificate().cert_path);
        auto* s = new testsupport::TlsServer();
        s->server().Get("/sug", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(R"({"result":[["word","1"],["word2","2"]]})", "application/json");
        });
        s->start();
        return s;
    }();
    return *instance;
}

platform::TransportRequest suggestion_request() {
    platform::TransportRequest request;
    request.agent = std::string(web::default_agent);
    request.host = "127.0.0.1";
    request.port = server().port();
    request.path = "/sug?code=utf-8&q=x";
    request.verb = "GET";
    request.options = web::transport_options_for(web::request_flags_for({.secure = true}));
    request.header_block = "Accept: */*\r\nAccept-Language: zh-cn";
    return request;
}

void run(benchmark::State& state, platform::ConnectionPolicy policy) {
    const platform::TransportRequest request = suggestion_request();
    for (auto _ : state) {
        platform::TransportReply reply = platform::perform_exchange(request, policy);
        if (reply.body.empty()) {
            state.SkipWithError("request failed");
            break;
        }
        benchmark::DoNotOptimize(reply.body.data());
    }
}

void BM_HttpsGetWarmSharedTransport(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::shared);
}
void BM_HttpsGetFreshConnectionEachRequest(benchmark::State& state) {
    run(state, platform::ConnectionPolicy::fresh);
}

// The whole routine as the harvest calls it: URL splitting, header block, cookie handling.
void BM_HttpRequestUrlAlone(benchmark::State& state) {
    const std::string url = server().base_url() + "/sug?code=utf-8&q=x";
    for (auto _ : state) {
        Bytes body = web::HttpRequest(url);
        if (body.empty()) {
            state.SkipWithError("request failed");
            break;
        }
        benchmark::DoNotOptimize(body.data());
    }
}

BENCHMARK(BM_HttpsGetWarmSharedTransport)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttpsGetFreshConnectionEachRequest)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HttpRequestUrlAlone)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
