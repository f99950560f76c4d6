#pragma once
// Within platform/: the process-wide libcurl share behind every exchange that
// uses the shared connection policy: the cookie store, DNS cache, TLS session
// cache and connection cache. It also keeps the transport's settings for the
// whole process (the extra CA file, the --resolve entries). The cookie
// store's own calls are in platform/cookie_store.h.

#include <curl/curl.h>

#include <array>
#include <mutex>
#include <string>
#include <vector>

namespace quorvel::platform {

// The share, guarded by one mutex per kind of shared data.
class SharedCaches {
  public:
    SharedCaches();
    ~SharedCaches();
    SharedCaches(const SharedCaches&) = delete;
    SharedCaches& operator=(const SharedCaches&) = delete;

    // Null when libcurl could not set the share up.
    CURLSH* share() const { return share_; }

    void set_extra_ca(const std::string& path);
    std::string extra_ca() const;
    void set_resolve(std::vector<std::string> entries);
    std::vector<std::string> resolve() const;

  private:
    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self);
    static void unlock(CURL*, curl_lock_data data, void* self);
    std::mutex& mutex_for(curl_lock_data data);

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
    mutable std::mutex settings_mutex_;
    std::string extra_ca_;
    std::vector<std::string> resolve_;
};

// The one instance, set up on first use (libcurl's global set-up with it).
SharedCaches& shared_caches();

}  // namespace quorvel::platform
