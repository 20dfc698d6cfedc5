// Which adapter a port leads to once it has been opened again: a command goes on only on the
// adapter it began on.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "bench_rig.h"
#include "forwarding_link.h"
#include "wire/sim/bench_file.h"
#include "wire/sim/sim_link.h"

namespace velgrin {
namespace {

// A port's device path: opening it reaches whichever adapter was plugged there last.
class DevicePath final : public testing::ForwardingLink {
  public:
    explicit DevicePath(std::shared_ptr<sim::SimBench> bench) : plugged_(std::move(bench)) {}

    // Another adapter takes the path; an open link stays on the old one until it reopens.
    void plug(std::shared_ptr<sim::SimBench> bench) { plugged_ = std::move(bench); }
    // Closes and reopens by itself, as a DS2480B link does to synchronise its adapter again.
    void reopenBySelf() {
        close();
        ASSERT_TRUE(open());
        countSelfReopening();
    }

  private:
    Link* inner() const override { return link_.get(); }
    WireResult<void> openAdapter() override {
        if (!link_ || &link_->bench() != plugged_.get()) {
            link_ = std::make_unique<sim::SimLink>(plugged_);
        }
        return link_->open();
    }

    std::shared_ptr<sim::SimBench> plugged_;
    std::unique_ptr<sim::SimLink> link_;
};

const RomCode kMultisensor = testing::TestRom(0x26, 0x0401);
const RomCode kThermometer = testing::TestRom(0x28, 0x0101);
const RomCode kOtherThermometer = testing::TestRom(0x28, 0x0102);

std::string Device(const RomCode& rom) {
    return R"({ "rom": ")" + RomText(rom) + R"(" })";
}

// A bench with an ID chip of the given serial number (none for 0) and the devices given.
std::string Bench(uint64_t idChip, const std::string& devices) {
    const std::string adapter = idChip == 0
                                    ? ""
                                    : R"("adapter": { "serialChip": ")" +
                                          RomText(testing::TestRom(0x81, idChip)) + R"(" }, )";
    return "{ " + adapter + R"("devices": [ )" + devices + " ] }";
}

struct PathRig {
    explicit PathRig(const std::string& first) : bench(Load(first)) {}

    std::shared_ptr<sim::SimBench> Load(const std::string& json) {
        auto loaded = sim::LoadBenchJson(json, "test bench", clock);
        EXPECT_TRUE(loaded) << loaded.error().message;
        return *loaded;
    }
    PortRegistry Registry() {
        PortRegistry registry;
        registry.add(PortBackend{"bench", "test bench", kSimulatedPortType, nullptr,
                                 [this](const PortSpec&) -> WireResult<std::unique_ptr<Link>> {
                                     auto made = std::make_unique<DevicePath>(bench);
                                     path = made.get();
                                     return std::unique_ptr<Link>(std::move(made));
                                 },
                                 nullptr, nullptr});
        return registry;
    }
    // A session set up and the whole bus enumerated, as a poll cycle does.
    int32_t Poll() {
        const int32_t handle = driver.TMExtendedStartSession(1, kSimulatedPortType);
        if (driver.TMSetup(handle) != 1) {
            return 0;
        }
        for (int16_t found = driver.TMFirst(handle, state); found == 1;
             found = driver.TMNext(handle, state)) {
        }
        return handle;
    }
    // Selects the multisensor and starts a Write Scratchpad: how far it gets.
    bool Write(int32_t handle) {
        std::array<int16_t, 8> rom{};
        std::copy(kMultisensor.begin(), kMultisensor.end(), rom.begin());
        return driver.TMRom(handle, state, rom) == 1 && driver.TMStrongAccess(handle, state) == 1 &&
               driver.TMTouchByte(handle, 0x4E) == 0x4E;
    }

    VirtualClock clock;
    std::shared_ptr<sim::SimBench> bench;
    DevicePath* path = nullptr;
    TmexDriver driver{Registry(), PortSpec{"bench", ""}};
    TmexState state;
};

enum class Reopen { AfterUnplugging, BySelf };

struct SwapCase {
    const char* what;
    std::string first;
    std::string second;  // empty: the first adapter itself comes back
    Reopen reopen;
    bool goesOn;
};

TEST(AdapterIdentity, ACommandGoesOnOnlyOnTheAdapterItBeganOn) {
    const std::string both = Device(kMultisensor) + ", " + Device(kThermometer);
    const SwapCase cases[] = {
        {"another adapter, its own ID chip, a multisensor of the same ROM", Bench(0x24A1, both),
         Bench(0x24A2, both), Reopen::AfterUnplugging, false},
        {"the same adapter back", Bench(0x24A1, both), "", Reopen::AfterUnplugging, true},
        {"no ID chips, a device this bus never showed", Bench(0, both),
         Bench(0, Device(kMultisensor) + ", " + Device(kOtherThermometer)), Reopen::AfterUnplugging,
         false},
        // A noisy search may miss devices: fewer of the same is still this adapter.
        {"no ID chip, the same adapter with a device missed", Bench(0, both),
         Bench(0, Device(kMultisensor)), Reopen::AfterUnplugging, true},
        {"no ID chip, the same adapter back", Bench(0, both), "", Reopen::AfterUnplugging, true},
        {"another adapter found by the link's own reopen", Bench(0x24A1, both), Bench(0x24A2, both),
         Reopen::BySelf, false},
        {"the same adapter found by the link's own reopen", Bench(0x24A1, both), "", Reopen::BySelf,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PathRig rig(c.first);
        int32_t handle = rig.Poll();
        ASSERT_GT(handle, 0);
        ASSERT_TRUE(rig.Write(handle));
        if (!c.second.empty()) {
            rig.path->plug(rig.Load(c.second));
        }
        if (c.reopen == Reopen::AfterUnplugging) {
            rig.bench->unplugged = true;
            EXPECT_FALSE(rig.Write(handle));
            rig.bench->unplugged = false;
            // The command's retry starts a session of its own, as the page write does.
            handle = rig.driver.TMExtendedStartSession(1, kSimulatedPortType);
            EXPECT_EQ(rig.driver.TMSetup(handle), c.goesOn ? 1 : 0);
        } else {
            rig.path->reopenBySelf();
        }
        EXPECT_EQ(rig.Write(handle), c.goesOn);
        if (!c.goesOn) {
            EXPECT_NE(rig.driver.lastError().find("was replaced"), std::string::npos)
                << rig.driver.lastError();
            EXPECT_EQ(rig.driver.TMValidSession(handle), 0);
            EXPECT_EQ(rig.Poll(), 0) << "nor does the next session";
        }
    }
}

TEST(AdapterIdentity, ADeviceTheLastSearchMissedStillBelongsToTheAdapter) {
    PathRig rig(Bench(0, Device(kMultisensor) + ", " + Device(kThermometer)));
    ASSERT_GT(rig.Poll(), 0);
    // A noisy search misses the thermometer; the bus is the same.
    auto missed = rig.bench->bus().detach(kThermometer);
    int32_t handle = rig.Poll();
    ASSERT_GT(handle, 0);
    rig.bench->bus().attach(std::move(missed));
    rig.path->reopenBySelf();
    EXPECT_TRUE(rig.Write(handle)) << rig.driver.lastError();
}

TEST(AdapterIdentity, ForgettingTheAdapterTakesTheOneNowThere) {
    const std::string both = Device(kMultisensor) + ", " + Device(kThermometer);
    PathRig rig(Bench(0x24A1, both));
    ASSERT_GT(rig.Poll(), 0);
    rig.path->plug(rig.Load(Bench(0x24A2, both)));
    rig.path->reopenBySelf();
    ASSERT_EQ(rig.Poll(), 0);
    rig.driver.forgetAdapter();
    const int32_t handle = rig.Poll();
    ASSERT_GT(handle, 0);
    EXPECT_TRUE(rig.Write(handle));
}

}  // namespace
}  // namespace velgrin
