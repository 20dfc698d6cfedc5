#include "cli/time_base.h"

#include <time.h>

namespace velgrin::cli {

namespace {

class RealTime final : public TimeBase {
  public:
    const Clock& clock() const override { return clock_; }
    void pass(uint64_t us) override {
        timespec wait{static_cast<time_t>(us / 1'000'000),
                      static_cast<long>(us % 1'000'000) * 1000};
        while (nanosleep(&wait, &wait) != 0) {
        }
    }

  private:
    SteadyClock clock_;
};

class SimulatedTime final : public TimeBase {
  public:
    const Clock& clock() const override { return clock_; }
    void pass(uint64_t us) override { clock_.advanceUs(us); }

  private:
    VirtualClock clock_;
};

}  // namespace

std::unique_ptr<TimeBase> TimeBase::Real() {
    return std::make_unique<RealTime>();
}

std::unique_ptr<TimeBase> TimeBase::Simulated() {
    return std::make_unique<SimulatedTime>();
}

}  // namespace velgrin::cli
