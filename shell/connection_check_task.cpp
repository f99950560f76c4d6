#include "shell/connection_check_task.h"

#include <utility>

#include "harvest/connection_check.h"

namespace quorvel::shell {

ConnectionCheckTask::ConnectionCheckTask(harvest::MarketplaceHosts hosts,
                                         std::function<void()> finished)
    : thread_(
          [this, hosts = std::move(hosts), finished = std::move(finished)](std::stop_token stop) {
              std::string text;
              for (const harvest::KindCheck& check : harvest::check_connection(hosts, stop)) {
                  text += harvest::check_line(check) + "\n";
              }
              if (stop.stop_requested()) {
                  return;  // the window is going; nobody reads the lines
              }
              {
                  std::lock_guard guard(mutex_);
                  lines_ = std::move(text);
              }
              finished();
          }) {}

std::optional<std::string> ConnectionCheckTask::lines() const {
    std::lock_guard guard(mutex_);
    return lines_;
}

}  // namespace quorvel::shell
