// The whole bus listed by the DS2490's search command, through the real libusb against the chip
// model: every device on the bus once, in the order and with the bus traffic of a search that
// goes slot by slot.

#include <gtest/gtest.h>

#include "bench_rig.h"
#include "ds2490_model/mock_usb_bus.h"
#include "wire/ds2490/ds2490_link.h"
#include "wire/ds2490/libusb_transport.h"
#include "wire/network.h"
#include "wire/sim/sim_link.h"

namespace velgrin::ds2490 {
namespace {

// Every code of an enumeration, and the bus events it made.
std::pair<std::vector<RomCode>, std::string> Enumerate(Link& link, sim::SimBench& bench) {
    bench.bus().setRecording(true);
    bench.bus().clearEvents();
    Network network(link);
    SearchState state;
    std::vector<RomCode> found;
    auto more = network.first(state);
    for (; more && *more; more = network.next(state)) {
        found.push_back(state.rom);
    }
    EXPECT_TRUE(more) << more.error().message;
    return {found, sim::DescribeEvents(bench.bus().events())};
}

TEST(Ds2490BusListing, ListsEveryDeviceOnceWithThePassesOfASlotBySlotSearch) {
    struct Case {
        const char* name;
        int devices;
        int codesPerSearch;
        bool shorted;
        int secondLeavesAfter;  // slots into the listing; the second device's pass starts at 200
        bool samePasses;        // one command: the passes of a slot-by-slot search and nothing else
    };
    const Case cases[] = {
        {"an empty bus (a reset tells it from a broken path)", 0, 255, false, -1, false},
        {"one device", 1, 255, false, -1, true},
        {"more than the receive FIFO holds", 20, 255, false, -1, true},
        {"more than one command asks for", 7, 3, false, -1, false},
        {"a shorted bus", 5, 255, true, -1, true},
        {"a device leaving in its own pass", 5, 255, false, 260, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualClock clock;
        auto bench = std::make_shared<sim::SimBench>(clock);
        for (uint64_t i = 1; i <= static_cast<uint64_t>(c.devices); ++i) {
            bench->bus().attach(std::make_unique<sim::PlainRomDevice>(
                velgrin::testing::TestRom(0x28, 0x5A5A5A5A5Aull * i)));
        }
        bench->bus().setShorted(c.shorted);
        sim::SimLink slotBySlot(bench);
        ASSERT_TRUE(slotBySlot.open());
        const auto [before, passes] = Enumerate(slotBySlot, *bench);
        if (c.secondLeavesAfter >= 0) {
            ASSERT_TRUE(bench->bus().leaveAfterSlots(before.at(1), c.secondLeavesAfter));
        }

        // The chip model serves each request synchronously, so between requests the bench is
        // ours to look at.
        MockUsbBus usb;
        usb.plug(bench);
        Ds2490Link link(std::make_unique<LibusbTransport>(1), {.codesPerSearch = c.codesPerSearch});
        ASSERT_TRUE(link.open());
        const auto [listed, traffic] = Enumerate(link, *bench);
        const auto [after, passesAfter] = Enumerate(slotBySlot, *bench);
        EXPECT_EQ(listed, after) << "the devices on the bus now, each once, in search order";
        EXPECT_EQ(static_cast<int>(listed.size()),
                  c.shorted ? 0 : c.devices - (c.secondLeavesAfter >= 0));
        if (c.samePasses) {
            EXPECT_EQ(traffic, passes);
        }
        EXPECT_EQ(link.recoveries(), 0u);
    }
}

}  // namespace
}  // namespace velgrin::ds2490
