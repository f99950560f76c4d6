#pragma once
// Work carried from a run's thread to the thread that owns a window: tasks
// queued in order and run when that thread is woken, and calls that wait for
// their answer or for the run's stop, whichever comes first. Each front end
// says only how its window's thread is woken.

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

namespace quorvel::shell {

// The answer of one call carried to the window's thread.
template <typename R>
struct WindowThreadAnswer {
    std::mutex mutex;
    std::condition_variable_any ready;
    bool done = false;
    std::optional<R> value;
    std::exception_ptr error;
};

class WindowThread {
  public:
    // Made on the window's thread. `wake` asks that thread, from any thread,
    // to call run_tasks soon.
    explicit WindowThread(std::function<void()> wake)
        : owner_(std::this_thread::get_id()), wake_(std::move(wake)) {}

    // Whether the caller is the window's thread.
    bool here() const { return std::this_thread::get_id() == owner_; }

    // Queues `task` for the window's thread and wakes it; any thread.
    void post(std::function<void()> task) {
        {
            std::lock_guard guard(mutex_);
            tasks_.push_back(std::move(task));
        }
        wake_();
    }

    // Runs every queued task, those queued meanwhile included (window's thread).
    void run_tasks() {
        while (true) {
            std::function<void()> task;
            {
                std::lock_guard guard(mutex_);
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }

    // Runs `work` on the window's thread and returns its answer; from another
    // thread, waits for it unless `stop` is requested first, in which case
    // `fallback` is returned and the work, if it has not started, never runs.
    // An exception thrown by `work` reaches the caller.
    template <typename R, typename F>
    R call(const std::stop_token& stop, F work, R fallback) {
        if (here()) {
            return work();
        }
        if (stop.stop_requested()) {
            return fallback;
        }
        auto answer = std::make_shared<WindowThreadAnswer<R>>();
        post([answer, stop, work = std::move(work), fallback]() mutable {
            std::optional<R> value;
            std::exception_ptr error;
            if (stop.stop_requested()) {
                value = std::move(fallback);
            } else {
                // Whatever happens in the work, the waiting thread gets an answer.
                try {
                    value = work();
                } catch (...) {
                    error = std::current_exception();
                }
            }
            {
                std::lock_guard guard(answer->mutex);
                answer->value = std::move(value);
                answer->error = error;
                answer->done = true;
            }
            answer->ready.notify_all();
        });
        std::unique_lock lock(answer->mutex);
        if (!answer->ready.wait(lock, stop, [&answer] { return answer->done; })) {
            return fallback;
        }
        if (answer->error) {
            std::rethrow_exception(answer->error);
        }
        return std::move(*answer->value);
    }

  private:
    std::thread::id owner_;
    std::function<void()> wake_;
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;  // guarded by mutex_
};

}  // namespace quorvel::shell
