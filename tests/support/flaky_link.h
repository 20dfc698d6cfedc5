#pragma once

#include <functional>
#include <memory>

#include "bench_rig.h"
#include "forwarding_link.h"

namespace velgrin::testing {

// What a FlakyLink does with one byte it is asked to send: pass it, or fail it (the adapter
// reports an error) after putting it on the bus as sent or garbled, or garble it unnoticed (only
// its echo shows it, as when a device holds the line at the wrong moment).
enum class ByteFault { None, FailAfterSending, FailAfterSendingGarbled, Garbled };

// A simulated bench's adapter that fails chosen bytes, as a noisy serial line makes a real
// adapter do. `fault` sees the byte and the one sent before it. Bytes after a failed one go
// through again, as an adapter that re-synchronises and carries on would let them. Without
// `strongPullup` it is a passive adapter, which has no strong pull-up to arm.
class FlakyLink final : public ForwardingLink {
  public:
    using FaultRule = std::function<ByteFault(uint8_t previous, uint8_t byte)>;

    FlakyLink(std::shared_ptr<sim::SimBench> bench, const FaultRule& fault, bool strongPullup)
        : inner_(std::move(bench)), fault_(fault), strongPullup_(strongPullup) {}

    LinkCapabilities capabilities() const override {
        LinkCapabilities can = inner_.capabilities();
        can.strongPullup = strongPullup_;
        return can;
    }

  private:
    Link* inner() const override { return &inner_; }

    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override {
        const uint8_t previous = previous_;
        previous_ = byte;
        const ByteFault fault = fault_ ? fault_(previous, byte) : ByteFault::None;
        if (fault == ByteFault::None) {
            return ForwardingLink::sendByte(byte, pullupAfter);
        }
        if (fault == ByteFault::Garbled) {
            return ForwardingLink::sendByte(static_cast<uint8_t>(byte ^ 0x10), pullupAfter);
        }
        // What the garbled byte reads back does not matter: the byte fails either way.
        (void)inner_.touchByte(
            fault == ByteFault::FailAfterSendingGarbled ? static_cast<uint8_t>(byte ^ 0x10) : byte);
        return WireError{WireErrorCode::Protocol, "garbled echo"};
    }

    mutable sim::SimLink inner_;
    const FaultRule& fault_;
    bool strongPullup_;
    uint8_t previous_ = 0;
};

// A BenchRig whose adapter fails the bytes `fault` picks (none while it is empty).
struct FlakyBenchRig {
    VirtualClock clock;
    ScriptedHost host{clock};
    std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
    FlakyLink::FaultRule fault;
    bool strongPullup = true;
    TmexDriver driver{Registry(), PortSpec{"bench", ""}};
    BusCore core{driver, host};

    sim::SimBus& bus() { return bench->bus(); }

  private:
    PortRegistry Registry() {
        PortRegistry registry;
        registry.add(PortBackend{"bench", "test bench", kSimulatedPortType, nullptr,
                                 [this](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                     return std::unique_ptr<Link>(
                                         std::make_unique<FlakyLink>(bench, fault, strongPullup));
                                 },
                                 nullptr, nullptr});
        return registry;
    }
};

}  // namespace velgrin::testing
