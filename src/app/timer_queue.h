#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace velgrin {

// Periodic timers whose callbacks run on one thread of their own, like the system timer queue:
// a timer is made with a due time and a period and deleted by its handle.
class TimerQueue {
  public:
    using Handle = uint32_t;
    using Callback = std::function<void()>;

    TimerQueue();
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // The process's queue; its thread starts with the first use.
    static TimerQueue& Default();

    // First callback `dueMs` from now, then one every `periodMs` (0: only once). Returns 0 when
    // the timer could not be made.
    Handle create(uint32_t dueMs, uint32_t periodMs, Callback callback);
    // No more callbacks start for the timer; one under way is not waited for.
    void remove(Handle handle);

  private:
    using TimePoint = std::chrono::steady_clock::time_point;
    struct Timer {
        TimePoint due;
        std::chrono::milliseconds period;
        Callback callback;
    };

    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Handle, Timer> timers_;
    Handle nextHandle_ = 1;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace velgrin
