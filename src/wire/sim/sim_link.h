#pragma once

#include <memory>

#include "wire/link.h"
#include "wire/sim/sim_bench.h"

namespace velgrin::sim {

// The adapter of a simulated bench: every operation goes bit by bit over its bus, so the
// protocol code above runs exactly as it does on hardware.
class SimLink final : public Link {
  public:
    explicit SimLink(std::shared_ptr<SimBench> bench) : bench_(std::move(bench)) {}
    ~SimLink() override { close(); }
    SimLink(const SimLink&) = delete;
    SimLink& operator=(const SimLink&) = delete;

    WireResult<void> open() override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool grantsSession() override;

    WireResult<ResetOutcome> reset() override;
    WireResult<bool> touchBit(bool bit) override;
    WireResult<uint8_t> touchByte(uint8_t byte) override;
    WireResult<void> armStrongPullup(PullupTrigger trigger) override;
    WireResult<void> setNormalLevel() override;

    SimBench& bench() { return *bench_; }

  private:
    WireResult<void> ready();
    bool slot(bool bit);

    std::shared_ptr<SimBench> bench_;
    bool open_ = false;
    bool armedAfterByte_ = false;
    bool armedAfterBit_ = false;
};

}  // namespace velgrin::sim
