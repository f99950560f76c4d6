#pragma once
// Text changes that runs queue for a window's edit boxes, applied in batches
// on the window's thread, so that a long harvest neither floods nor freezes
// the window: consecutive appends to one box become one insert, and each
// box's line count, the changes still queued included, is known to any
// thread without asking the window.
//
// A front end gives the text it queues (`Text`), how lines are tallied as
// that text arrives (`Tally`: `add(const Text&)` and `lines()`), and, to
// flush(), the calls that apply a change to its boxes.

#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::shell {

template <typename Text, typename Tally>
class TextBatch {
  public:
    struct Change {
        std::string control;
        Text text;
        bool replace = false;  // the box's whole text, rather than an append
    };

    // The boxes whose lines are counted, each with its tally now; set before
    // any run queues a change.
    void count_lines(const std::string& control, Tally tally) {
        std::lock_guard guard(mutex_);
        lines_[control] = std::move(tally);
    }

    // Queues a change (any thread). True when the window's thread must be
    // asked for a flush: no flush is asked for yet.
    bool queue(Change change) {
        std::lock_guard guard(mutex_);
        pending_.push_back(std::move(change));
        return !std::exchange(flush_asked_, true);
    }

    // Applies every queued change (window's thread): `front.replace(control,
    // text)` and `front.append(control, text)`, appends to a box joined until
    // another change comes between; then `front.tally(control)` recounts
    // each counted box. False when nothing was queued.
    //
    // The changes stay queued while they are applied, and leave the queue
    // together with the boxes' new tallies: a run counting lines meanwhile
    // sees each change once.
    template <typename Front>
    bool flush(Front& front) {
        std::vector<Change> changes;
        {
            std::lock_guard guard(mutex_);
            changes = pending_;
            flush_asked_ = false;
        }
        if (changes.empty()) {
            return false;
        }
        flushing_ = true;
        std::map<std::string, Text> appends;
        std::vector<std::string> order;
        const auto apply_appends = [&] {
            for (const std::string& control : order) {
                front.append(control, appends[control]);
            }
            appends.clear();
            order.clear();
        };
        for (Change& change : changes) {
            if (change.replace) {
                apply_appends();
                front.replace(change.control, change.text);
                continue;
            }
            auto [it, inserted] = appends.try_emplace(change.control);
            if (inserted) {
                order.push_back(change.control);
            }
            it->second += change.text;
        }
        apply_appends();
        flushing_ = false;
        std::map<std::string, Tally, std::less<>> counted;
        {
            std::lock_guard guard(mutex_);
            for (const auto& [control, tally] : lines_) {
                counted.emplace(control, Tally{});
            }
        }
        for (auto& [control, tally] : counted) {
            tally = front.tally(control);
        }
        std::lock_guard guard(mutex_);
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(changes.size()));
        for (auto& [control, tally] : counted) {
            lines_[control] = std::move(tally);
        }
        return true;
    }

    // Whether flush() is applying changes now (window's thread): the boxes
    // it changes need not be recounted as they report each change.
    bool flushing() const { return flushing_; }

    // A counted box changed otherwise, by the user say: its tally now
    // (window's thread). False for a box not counted, or during a flush,
    // which recounts when it is done.
    bool recount(std::string_view control, Tally tally) {
        if (flushing_) {
            return false;
        }
        std::lock_guard guard(mutex_);
        auto known = lines_.find(control);
        if (known == lines_.end()) {
            return false;
        }
        known->second = std::move(tally);
        return true;
    }

    // The lines a counted box holds once the queued changes are applied (any
    // thread); nothing for a box not counted.
    std::optional<int> line_count(std::string_view control) const {
        std::lock_guard guard(mutex_);
        auto known = lines_.find(control);
        if (known == lines_.end()) {
            return std::nullopt;
        }
        Tally tally = known->second;
        for (const Change& change : pending_) {
            if (change.control != control) {
                continue;
            }
            if (change.replace) {
                tally = {};
            }
            tally.add(change.text);
        }
        return tally.lines();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Change> pending_;                      // guarded by mutex_
    bool flush_asked_ = false;                         // guarded by mutex_
    std::map<std::string, Tally, std::less<>> lines_;  // guarded by mutex_
    bool flushing_ = false;                            // window's thread only
};

}  // namespace quorvel::shell
