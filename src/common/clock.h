#pragma once

#include <atomic>
#include <cstdint>

namespace velgrin {

// Monotonic time in microseconds. The program runs on the steady clock; tests and the simulated
// bench share a virtual one, so a 750 ms conversion costs no real time.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual uint64_t nowUs() const = 0;
    uint64_t nowMs() const { return nowUs() / 1000; }
};

class SteadyClock final : public Clock {
  public:
    uint64_t nowUs() const override;
};

class VirtualClock final : public Clock {
  public:
    explicit VirtualClock(uint64_t startUs = 0) : now_(startUs) {}
    uint64_t nowUs() const override { return now_.load(); }
    void advanceUs(uint64_t us) { now_ += us; }
    void advanceMs(uint64_t ms) { now_ += ms * 1000; }

  private:
    std::atomic<uint64_t> now_;
};

}  // namespace velgrin
