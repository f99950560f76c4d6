#include "platform/shared_caches.h"

#include "platform/cookie_store.h"
#include "platform/curl_handles.h"

namespace quorvel::platform {

SharedCaches::SharedCaches() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    if (share_ == nullptr) {
        return;
    }
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCaches::lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCaches::unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
}

SharedCaches::~SharedCaches() {
    if (share_ != nullptr) {
        curl_share_cleanup(share_);
    }
}

void SharedCaches::set_extra_ca(const std::string& path) {
    std::lock_guard guard(settings_mutex_);
    extra_ca_ = path;
}

std::string SharedCaches::extra_ca() const {
    std::lock_guard guard(settings_mutex_);
    return extra_ca_;
}

void SharedCaches::set_resolve(std::vector<std::string> entries) {
    std::lock_guard guard(settings_mutex_);
    resolve_ = std::move(entries);
}

std::vector<std::string> SharedCaches::resolve() const {
    std::lock_guard guard(settings_mutex_);
    return resolve_;
}

void SharedCaches::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCaches*>(self)->mutex_for(data).lock();
}

void SharedCaches::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<SharedCaches*>(self)->mutex_for(data).unlock();
}

std::mutex& SharedCaches::mutex_for(curl_lock_data data) {
    auto index = static_cast<std::size_t>(data);
    return locks_[index < locks_.size() ? index : 0];
}

SharedCaches& shared_caches() {
    static SharedCaches caches;
    return caches;
}

namespace cookie_store {

namespace {
// An easy handle attached to the share: what it reads and writes of cookies
// is the process-wide store.
EasyHandle store_handle() {
    CURLSH* share = shared_caches().share();
    if (share == nullptr) {
        return {};
    }
    EasyHandle curl(curl_easy_init());
    if (curl && curl_easy_setopt(curl.get(), CURLOPT_SHARE, share) != CURLE_OK) {
        curl.reset();
    }
    return curl;
}
}  // namespace

bool command(const std::string& text) {
    EasyHandle curl = store_handle();
    return curl && curl_easy_setopt(curl.get(), CURLOPT_COOKIELIST, text.c_str()) == CURLE_OK;
}

std::vector<std::string> lines() {
    std::vector<std::string> out;
    EasyHandle curl = store_handle();
    curl_slist* list = nullptr;
    if (!curl || curl_easy_getinfo(curl.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) {
        return out;
    }
    HeaderList owned(list);
    for (const curl_slist* item = list; item != nullptr; item = item->next) {
        out.emplace_back(item->data);
    }
    return out;
}

}  // namespace cookie_store

}  // namespace quorvel::platform
