#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "common/clock.h"
#include "wire/network.h"
#include "wire/sim/sim_bench.h"
#include "wire/sim/sim_link.h"

namespace velgrin::sim::testing {

// A bench on a virtual clock with an open link and the network layer over it, as the driver
// would use them.
class SimTestBench {
  public:
    // An empty bench on `clock`, or `bench` (made on the same clock).
    explicit SimTestBench(VirtualClock& clock, std::shared_ptr<SimBench> bench = nullptr)
        : clock(clock),
          bench_(bench ? std::move(bench) : std::make_shared<SimBench>(clock)),
          link(bench_),
          network(link) {
        EXPECT_TRUE(link.open().ok());
    }

    SimBench& bench() { return *bench_; }

    template <typename Device, typename... Args>
    Device& add(Args&&... args) {
        auto device = std::make_unique<Device>(std::forward<Args>(args)...);
        auto& ref = *device;
        bench_->bus().attach(std::move(device));
        return ref;
    }

    // Reset and Match ROM; true when something answered the reset.
    bool select(const RomCode& rom) {
        auto r = network.access(rom);
        return r.ok() && *r;
    }

    // Each byte through touchByte; what came back.
    std::vector<uint8_t> touch(std::vector<uint8_t> bytes) {
        for (auto& b : bytes) {
            auto r = link.touchByte(b);
            EXPECT_TRUE(r.ok());
            b = r.ok() ? *r : 0;
        }
        return bytes;
    }
    std::vector<uint8_t> read(size_t count) { return touch(std::vector<uint8_t>(count, 0xFF)); }
    bool readBit() {
        auto r = link.touchBit(true);
        return r.ok() && *r;
    }

    // Every ROM code a full search reports, in order.
    std::vector<RomCode> search() {
        std::vector<RomCode> found;
        SearchState state;
        auto more = network.first(state);
        while (more.ok() && *more && found.size() < 1000) {
            found.push_back(state.rom);
            more = network.next(state);
        }
        return found;
    }

    VirtualClock& clock;

  private:
    std::shared_ptr<SimBench> bench_;

  public:
    SimLink link;
    Network network;
};

}  // namespace velgrin::sim::testing
