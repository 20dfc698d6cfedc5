// The whole bus listed by the DS2490's search command, through the real libusb against the chip
// model: every device on the bus once, in the order and with the bus traffic of the passes a
// bit-by-bit search makes.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "bench_rig.h"
#include "ds2490_model/mock_usb_bus.h"
#include "wire/ds2490/ds2490_link.h"
#include "wire/ds2490/libusb_transport.h"
#include "wire/network.h"
#include "wire/sim/sim_link.h"

namespace velgrin::ds2490 {
namespace {

// Every code of an enumeration; an error ends it.
WireResult<std::vector<RomCode>> Enumerate(Link& link) {
    Network network(link);
    SearchState state;
    std::vector<RomCode> found;
    auto more = network.first(state);
    for (; more && *more; more = network.next(state)) {
        found.push_back(state.rom);
    }
    if (!more) {
        return more.error();
    }
    return found;
}

// What the simulated bench's own link, searching slot by slot, finds there, and the bus events
// that search makes.
std::pair<std::vector<RomCode>, std::string> SearchedSlotBySlot(
    std::shared_ptr<sim::SimBench> bench) {
    sim::SimLink link(bench);
    EXPECT_TRUE(link.open());
    bench->bus().setRecording(true);
    bench->bus().clearEvents();
    auto found = Enumerate(link);
    EXPECT_TRUE(found);
    return {found ? *found : std::vector<RomCode>{}, sim::DescribeEvents(bench->bus().events())};
}

TEST(Ds2490BusListing, ListsEveryDeviceOnceWithThePassesOfASlotBySlotSearch) {
    struct Case {
        const char* name;
        int devices;
        int codesPerSearch;
        bool shorted;
        // The device found second leaves the bus this many slots into the listing (its own pass
        // starts after 200).
        int secondLeavesAfter;
        // One command lists it all: the bus sees exactly the passes of a slot-by-slot search
        // (the empty bus a reset more, which tells it from a first path that broke off).
        bool samePasses;
    };
    const Case cases[] = {
        {"an empty bus", 0, 255, false, -1, false},
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
        for (int i = 0; i < c.devices; ++i) {
            bench->bus().attach(std::make_unique<sim::PlainRomDevice>(
                velgrin::testing::TestRom(0x28, 0x5A5A5A5A5Aull * static_cast<uint64_t>(i + 1))));
        }
        bench->bus().setShorted(c.shorted);
        const auto [before, passes] = SearchedSlotBySlot(bench);
        if (c.secondLeavesAfter >= 0) {
            ASSERT_TRUE(bench->bus().leaveAfterSlots(before.at(1),
                                                     static_cast<uint64_t>(c.secondLeavesAfter)));
        }

        MockUsbBus usb;
        const size_t adapter = usb.plug(bench);
        Ds2490Options options;
        options.codesPerSearch = c.codesPerSearch;
        Ds2490Link link(std::make_unique<LibusbTransport>(1), options);
        ASSERT_TRUE(link.open());
        usb.withBench(adapter, [](sim::SimBench& b) { b.bus().clearEvents(); });
        auto listed = Enumerate(link);
        ASSERT_TRUE(listed) << listed.error().message;
        std::string traffic;
        std::vector<RomCode> after;
        std::string passesAfter;
        usb.withBench(adapter, [&](sim::SimBench& b) {
            traffic = sim::DescribeEvents(b.bus().events());
            std::tie(after, passesAfter) = SearchedSlotBySlot(bench);
        });

        EXPECT_EQ(*listed, after) << "the devices on the bus now, in search order";
        EXPECT_EQ(std::set<RomCode>(listed->begin(), listed->end()).size(), listed->size());
        EXPECT_EQ(listed->size(),
                  c.shorted ? 0u : static_cast<size_t>(c.devices - (c.secondLeavesAfter >= 0)));
        if (c.samePasses) {
            EXPECT_EQ(traffic, passes);
        }
        EXPECT_EQ(link.recoveries(), 0u);
    }
}

}  // namespace
}  // namespace velgrin::ds2490
