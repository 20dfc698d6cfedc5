#pragma once

#include <functional>
#include <memory>

#include "bench_rig.h"

namespace velgrin::testing {

// What a FlakyLink does with one byte it is asked to send: pass it, or fail it (the adapter
// reports an error) after putting it on the bus as sent or garbled, or garble it unnoticed (only
// its echo shows it, as when a device holds the line at the wrong moment).
enum class ByteFault { None, FailAfterSending, FailAfterSendingGarbled, Garbled };

// A simulated bench's adapter that fails chosen bytes, as a noisy serial line makes a real
// adapter do. `fault` sees the byte and the one sent before it. Bytes after a failed one go
// through again, as an adapter that re-synchronises and carries on would let them.
class FlakyLink final : public Link {
  public:
    using FaultRule = std::function<ByteFault(uint8_t previous, uint8_t byte)>;

    FlakyLink(std::shared_ptr<sim::SimBench> bench, const FaultRule& fault)
        : inner_(std::move(bench)), fault_(fault) {}

    WireResult<void> open() override { return inner_.open(); }
    void close() override { inner_.close(); }
    bool isOpen() const override { return inner_.isOpen(); }
    bool grantsSession() override { return inner_.grantsSession(); }
    WireResult<ResetOutcome> reset() override { return inner_.reset(); }
    WireResult<bool> touchBit(bool bit) override { return inner_.touchBit(bit); }
    WireResult<void> armStrongPullup(PullupTrigger trigger) override {
        return inner_.armStrongPullup(trigger);
    }
    WireResult<void> setNormalLevel() override { return inner_.setNormalLevel(); }

    WireResult<uint8_t> touchByte(uint8_t byte) override {
        const uint8_t previous = previous_;
        previous_ = byte;
        const ByteFault fault = fault_ ? fault_(previous, byte) : ByteFault::None;
        if (fault == ByteFault::None) {
            return inner_.touchByte(byte);
        }
        if (fault == ByteFault::Garbled) {
            return inner_.touchByte(static_cast<uint8_t>(byte ^ 0x10));
        }
        (void)inner_.touchByte(
            fault == ByteFault::FailAfterSendingGarbled ? static_cast<uint8_t>(byte ^ 0x10) : byte);
        return WireError{WireErrorCode::Protocol, "garbled echo"};
    }

  private:
    sim::SimLink inner_;
    const FaultRule& fault_;
    uint8_t previous_ = 0;
};

// A BenchRig whose adapter fails the bytes `fault` picks (none while it is empty).
struct FlakyBenchRig {
    VirtualClock clock;
    ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    FlakyLink::FaultRule fault;
    TmexDriver driver{Registry(), PortSpec{"bench", ""}};
    BusCore core{driver, host};

    sim::SimBus& bus() { return bench->bus(); }

  private:
    PortRegistry Registry() {
        PortRegistry registry;
        registry.add(PortBackend{"bench", "test bench", kSimulatedPortType, nullptr,
                                 [this](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                     return std::unique_ptr<Link>(
                                         std::make_unique<FlakyLink>(bench, fault));
                                 },
                                 nullptr, nullptr});
        return registry;
    }
};

}  // namespace velgrin::testing
