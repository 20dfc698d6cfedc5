// What a link that lacks a capability does: it refuses in so many words, before anything goes on
// the bus; and the network layer searches through a link that can only list the whole bus.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "wire/network.h"

namespace velgrin {
namespace {

using testing::TestRom;

// An adapter that searches by itself (as the kernel's masters do): a reset, whole bytes, and the
// listing of the bus. Everything that reaches it is written to `bus`.
class ListingLink final : public Link {
  public:
    LinkCapabilities can{
        .bitAccess = false, .strongPullup = false, .alarmSearch = false, .wholeBusSearch = true};
    bool accelerator = false;
    // One listing each; the last one stays.
    std::deque<std::vector<RomCode>> listings;
    std::vector<std::string> bus;
    int recoveries = 0;

    bool isOpen() const override { return open_; }
    LinkCapabilities capabilities() const override { return can; }
    bool hasSearchAccelerator() const override { return accelerator; }

  private:
    WireResult<void> openAdapter() override {
        open_ = true;
        return {};
    }
    void closeAdapter() override { open_ = false; }
    WireResult<ResetOutcome> resetBus() override {
        bus.push_back("reset");
        return ResetOutcome::Presence;
    }
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override {
        bus.push_back(std::to_string(byte) + (pullupAfter ? " pulled up" : ""));
        return byte;
    }
    WireResult<SearchPass> acceleratedPass(const RomCode&, bool) override {
        bus.push_back("pass");
        return SearchPass{};
    }
    WireResult<std::vector<RomCode>> listWholeBus(bool alarmOnly) override {
        bus.push_back(alarmOnly ? "alarm listing" : "listing");
        std::vector<RomCode> listed = listings.empty() ? std::vector<RomCode>{} : listings.front();
        if (listings.size() > 1) {
            listings.pop_front();
        }
        return listed;
    }
    WireResult<AfterRecovery> recover(const WireError&) override {
        ++recoveries;
        cutSequence();
        return AfterRecovery::Report;
    }

    bool open_ = false;
};

TEST(LinkCapabilities, WhatALinkLacksIsRefusedByNameAndNothingReachesTheBus) {
    struct Case {
        const char* name;
        std::function<void(ListingLink&)> give;  // everything else the link can do
        std::function<WireResult<void>(Link&)> ask;
        const char* lacking;
    };
    auto can = [](auto member) {
        return [member](ListingLink& link) {
            link.can = {.bitAccess = true, .strongPullup = true, .alarmSearch = true};
            link.accelerator = true;
            link.can.*member = false;
        };
    };
    auto done = [](auto result) -> WireResult<void> {
        if (!result) {
            return result.error();
        }
        return {};
    };
    const std::vector<Case> cases{
        {"a bit", can(&LinkCapabilities::bitAccess),
         [&](Link& link) { return done(link.touchBit(true)); }, "no bit-level access"},
        {"a pull-up after a byte", can(&LinkCapabilities::strongPullup),
         [](Link& link) { return link.armStrongPullup(PullupTrigger::AfterNextByte); },
         "no strong pull-up"},
        {"a pull-up after a bit", can(&LinkCapabilities::strongPullup),
         [](Link& link) { return link.armStrongPullup(PullupTrigger::AfterNextBit); },
         "no strong pull-up"},
        {"an alarm search pass", can(&LinkCapabilities::alarmSearch),
         [&](Link& link) { return done(link.searchPass(RomCode{}, true)); }, "no alarm search"},
        {"a listing of the bus", can(&LinkCapabilities::wholeBusSearch),
         [&](Link& link) { return done(link.listBus(false)); },
         "no search of the whole bus in one call"},
        {"a listing of the devices in alarm",
         [](ListingLink& link) { link.can.alarmSearch = false; },
         [&](Link& link) { return done(link.listBus(true)); }, "no alarm search"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListingLink link;
        c.give(link);
        ASSERT_TRUE(link.open());
        const auto refused = c.ask(link);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, WireErrorCode::Unsupported);
        EXPECT_EQ(refused.error().message, std::string("this adapter has ") + c.lacking);
        EXPECT_TRUE(link.bus.empty());
        // A refusal is no failure of the adapter: nothing was recovered, the sequence goes on.
        EXPECT_EQ(link.recoveries, 0);
        EXPECT_TRUE(link.touchByte(0x44));
    }
}

TEST(LinkCapabilities, WithoutAStrongPullupTheNormalLevelIsKept) {
    ListingLink link;
    ASSERT_TRUE(link.open());
    ASSERT_FALSE(link.armStrongPullup(PullupTrigger::AfterNextByte));
    EXPECT_TRUE(link.setNormalLevel());
    ASSERT_TRUE(link.touchByte(0x44));
    EXPECT_EQ(link.bus, std::vector<std::string>{"68"});
}

const RomCode kFirst = TestRom(0x28, 1);
const RomCode kSecond = TestRom(0x10, 2);
const RomCode kThird = TestRom(0x26, 3);

std::vector<RomCode> Enumerate(Network& network, WireResult<bool>& end) {
    SearchState state;
    std::vector<RomCode> found;
    for (end = network.first(state); end && *end; end = network.next(state)) {
        found.push_back(state.rom);
    }
    return found;
}

TEST(WholeBusSearch, TheNetworkReportsEachListedDeviceOnceOrABusErrorNeverAShorterList) {
    RomCode badCrc = kSecond;
    badCrc[7] ^= 0x01;
    const RomCode noFamily = WithRomCrc(RomCode{});
    const std::vector<RomCode> good{kFirst, kSecond, kThird};
    struct Case {
        const char* name;
        std::deque<std::vector<RomCode>> listings;
        std::vector<RomCode> found;  // empty with `error`
        size_t listingsMade;
        bool error = false;
    };
    const std::vector<Case> cases{
        {"a listing as it should be", {good}, good, 1},
        {"the empty bus", {{}}, {}, 1},
        {"a code failing its CRC, then the right list", {{kFirst, badCrc}, good}, good, 2},
        {"a code listed twice, then the right list", {{kFirst, kFirst}, good}, good, 2},
        {"family 00 every time", {{kFirst, noFamily}}, {}, size_t{kTransactionAttempts}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ListingLink link;
        link.listings = c.listings;
        ASSERT_TRUE(link.open());
        Network network(link);
        WireResult<bool> end = false;
        EXPECT_EQ(Enumerate(network, end), c.found);
        EXPECT_EQ(static_cast<size_t>(std::count(link.bus.begin(), link.bus.end(), "listing")),
                  c.listingsMade);
        EXPECT_EQ(link.bus.size(), c.listingsMade) << "only listings go on the bus";
        if (c.error) {
            ASSERT_FALSE(end);
            EXPECT_EQ(end.error().code, WireErrorCode::Protocol);
        } else {
            EXPECT_TRUE(end && !*end);
        }
    }
}

TEST(WholeBusSearch, VerifySelectsADeviceOnlyWhenTheListingHasIt) {
    ListingLink link;
    link.listings = {{kFirst, kSecond}};
    ASSERT_TRUE(link.open());
    Network network(link);

    auto present = network.verify(kSecond);
    ASSERT_TRUE(present);
    EXPECT_TRUE(*present);
    std::vector<std::string> selected{"listing", "reset", "85"};
    for (uint8_t b : kSecond) {
        selected.push_back(std::to_string(b));
    }
    EXPECT_EQ(link.bus, selected);

    link.bus.clear();
    auto absent = network.verify(kThird);
    ASSERT_TRUE(absent);
    EXPECT_FALSE(*absent);
    EXPECT_EQ(link.bus, std::vector<std::string>{"listing"});
}

}  // namespace
}  // namespace velgrin
