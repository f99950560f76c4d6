#pragma once
// Work that a test expects to end by itself, such as a run that was stopped
// during a wait of an hour, run on a thread of its own so that a hang fails
// the test instead of holding it up.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <type_traits>
#include <utility>

namespace quorvel::testsupport {

// Far longer than any machine, however busy, needs for work that ends at
// once, and far shorter than the waits such work is given.
inline constexpr std::chrono::minutes hang_limit{1};

// Runs `work` and returns what it returned. Work still going after
// hang_limit hangs: the process ends there, with a message, since the
// thread cannot be taken back and uses the test's objects.
template <typename Work>
std::invoke_result_t<Work&> without_hanging(Work work) {
    std::packaged_task<std::invoke_result_t<Work&>()> task(std::move(work));
    auto result = task.get_future();
    std::thread thread(std::move(task));
    if (result.wait_for(hang_limit) != std::future_status::ready) {
        std::fputs("hangs: the work has not ended after a minute\n", stderr);
        std::abort();
    }
    thread.join();
    return result.get();
}

}  // namespace quorvel::testsupport
