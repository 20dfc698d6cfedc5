#include "app/timer_queue.h"

#include <algorithm>

namespace velgrin {

TimerQueue::TimerQueue() : thread_([this] { run(); }) {}

TimerQueue::~TimerQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

TimerQueue& TimerQueue::Default() {
    static TimerQueue queue;
    return queue;
}

TimerQueue::Handle TimerQueue::create(uint32_t dueMs, uint32_t periodMs, Callback callback) {
    if (!callback) {
        return 0;
    }
    Handle handle = 0;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return 0;
        }
        handle = nextHandle_++;
        if (nextHandle_ == 0) {
            nextHandle_ = 1;
        }
        timers_.emplace(handle,
                        Timer{std::chrono::steady_clock::now() + std::chrono::milliseconds(dueMs),
                              std::chrono::milliseconds(periodMs), std::move(callback)});
    }
    changed_.notify_all();
    return handle;
}

void TimerQueue::remove(Handle handle) {
    {
        std::lock_guard lock(mutex_);
        timers_.erase(handle);
    }
    changed_.notify_all();
}

void TimerQueue::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (timers_.empty()) {
            changed_.wait(lock);
            continue;
        }
        auto next = std::min_element(timers_.begin(), timers_.end(),
                                     [](auto& a, auto& b) { return a.second.due < b.second.due; });
        const TimePoint now = std::chrono::steady_clock::now();
        if (next->second.due > now) {
            // A copy: the timer may be removed while this thread waits.
            const TimePoint due = next->second.due;
            changed_.wait_until(lock, due);
            continue;
        }
        Timer& timer = next->second;
        Callback callback = timer.callback;
        if (timer.period.count() == 0) {
            timers_.erase(next);
        } else {
            // A late thread fires once and then keeps to the period's grid.
            do {
                timer.due += timer.period;
            } while (timer.due <= now);
        }
        lock.unlock();
        callback();
        lock.lock();
    }
}

}  // namespace velgrin
