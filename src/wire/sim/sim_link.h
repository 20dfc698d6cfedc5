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

    bool isOpen() const override { return open_; }
    bool grantsSession() override;
    LinkCapabilities capabilities() const override {
        return {.bitAccess = true, .strongPullup = true, .alarmSearch = true};
    }

    SimBench& bench() { return *bench_; }

  private:
    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<void> ready() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<bool> sendBit(bool bit, bool pullupAfter) override;
    WireResult<void> endPullup() override;
    // The bus drops the pull-up at the next slot or reset.
    bool pullupEndsWithNextCommand() const override { return true; }

    std::shared_ptr<SimBench> bench_;
    bool open_ = false;
};

}  // namespace velgrin::sim
