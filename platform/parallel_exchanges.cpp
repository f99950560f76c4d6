#include "platform/parallel_exchanges.h"

#include <map>
#include <utility>

#include "platform/curl_handles.h"
#include "platform/exchange_parts.h"
#include "platform/log.h"

namespace quorvel::platform {

struct ParallelExchanges::Impl {
    MultiHandle multi;
    std::map<CURL*, std::pair<std::uint64_t, std::unique_ptr<PreparedExchange>>> running;
    // Exchanges that ended before they could be started.
    std::vector<Ended> ended_early;

    // Takes every transfer libcurl reports done off the multi handle.
    void collect(std::vector<Ended>& ended) {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
            if (message->msg != CURLMSG_DONE) {
                continue;
            }
            auto found = running.find(message->easy_handle);
            if (found == running.end()) {
                continue;
            }
            const CURLcode result = message->data.result;
            curl_multi_remove_handle(multi.get(), found->first);
            ended.push_back({found->second.first, finish_exchange(*found->second.second, result)});
            running.erase(found);
        }
    }
};

ParallelExchanges::ParallelExchanges(int per_host) : impl_(std::make_unique<Impl>()) {
    impl_->multi.reset(curl_multi_init());
    if (impl_->multi) {
        curl_multi_setopt(impl_->multi.get(), CURLMOPT_MAX_HOST_CONNECTIONS,
                          static_cast<long>(per_host));
        curl_multi_setopt(impl_->multi.get(), CURLMOPT_PIPELINING,
                          http2_available() ? CURLPIPE_MULTIPLEX : CURLPIPE_NOTHING);
    }
}

ParallelExchanges::~ParallelExchanges() {
    for (auto& [handle, exchange] : impl_->running) {
        curl_multi_remove_handle(impl_->multi.get(), handle);
    }
}

void ParallelExchanges::start(std::uint64_t tag, TransportRequest request) {
    auto exchange =
        prepare_exchange(std::move(request), ConnectionPolicy::shared, Multiplexing::where_offered);
    if (!exchange) {
        impl_->ended_early.push_back({tag, std::move(exchange.error())});
        return;
    }
    CURL* handle = (*exchange)->curl.get();
    if (!impl_->multi || curl_multi_add_handle(impl_->multi.get(), handle) != CURLM_OK) {
        impl_->ended_early.push_back({tag, finish_exchange(**exchange, CURLE_OUT_OF_MEMORY)});
        return;
    }
    impl_->running.emplace(handle, std::pair{tag, std::move(*exchange)});
}

std::size_t ParallelExchanges::in_flight() const {
    return impl_->running.size() + impl_->ended_early.size();
}

std::vector<ParallelExchanges::Ended> ParallelExchanges::wait(std::chrono::milliseconds longest) {
    std::vector<Ended> ended = std::exchange(impl_->ended_early, {});
    if (!impl_->multi) {
        return ended;
    }
    int active = 0;
    if (curl_multi_perform(impl_->multi.get(), &active) != CURLM_OK) {
        log_warning("the parallel transfers could not be moved on");
    }
    impl_->collect(ended);
    if (!ended.empty()) {
        return ended;
    }
    // Waits for the sockets, curl's own timers or a wake-up, whichever comes first.
    curl_multi_poll(impl_->multi.get(), nullptr, 0, static_cast<int>(longest.count()), nullptr);
    curl_multi_perform(impl_->multi.get(), &active);
    impl_->collect(ended);
    return ended;
}

void ParallelExchanges::wake() {
    if (impl_->multi) {
        curl_multi_wakeup(impl_->multi.get());
    }
}

}  // namespace quorvel::platform
