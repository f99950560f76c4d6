#pragma once
// The connection check a window's settings run: on its own thread, so the
// window goes on while the marketplace answers, its lines handed over when
// they are all in.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "harvest/sources.h"

namespace quorvel::shell {

class ConnectionCheckTask {
  public:
    // Starts the check. `finished` is called once, on the check's thread,
    // when its lines are ready: it should only wake the window, which then
    // takes them with lines().
    ConnectionCheckTask(harvest::MarketplaceHosts hosts, std::function<void()> finished);
    // Stops a check still waiting for the marketplace, and waits for it.
    ~ConnectionCheckTask() = default;
    ConnectionCheckTask(const ConnectionCheckTask&) = delete;
    ConnectionCheckTask& operator=(const ConnectionCheckTask&) = delete;

    // One line per kind, ended by a line break (UTF-8); none until the check ends.
    std::optional<std::string> lines() const;

  private:
    mutable std::mutex mutex_;
    std::optional<std::string> lines_;
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

}  // namespace quorvel::shell
