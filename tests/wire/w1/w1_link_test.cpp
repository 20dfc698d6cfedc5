// The w1 link against the model of the kernel: the master chosen, what goes into one message,
// the kernel's statuses and garbled replies.

#include <errno.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/crc.h"
#include "w1_rig.h"
#include "wire/sim/bench_file.h"
#include "wire/w1/netlink_socket.h"
#include "wire/w1/w1_codes.h"

namespace velgrin::w1 {
namespace {

constexpr const char* kBench = R"({"devices": [
  { "model": "DS18B20", "rom": "E400000000010128", "temperature": 21.5, "th": 30, "tl": 10 },
  { "model": "DS18B20", "rom": "BD00000000010228", "temperature": -5.25 },
  { "rom": "43000013B5F27C01" }]})";
const RomCode kThermometer{0x28, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xE4};

std::shared_ptr<sim::SimBench> Bench(const Clock& clock, const char* json = kBench) {
    auto bench = sim::LoadBenchJson(json, "w1 test bench", clock);
    EXPECT_TRUE(bench) << bench.error().message;
    return *bench;
}

::testing::AssertionResult FailsWith(const WireResult<void>& result, WireErrorCode code,
                                     const std::vector<std::string>& words) {
    if (result) {
        return ::testing::AssertionFailure() << "it succeeded";
    }
    if (result.error().code != code) {
        return ::testing::AssertionFailure() << "wrong code: " << result.error().message;
    }
    for (const auto& word : words) {
        if (result.error().message.find(word) == std::string::npos) {
            return ::testing::AssertionFailure()
                   << "no \"" << word << "\" in \"" << result.error().message << "\"";
        }
    }
    return ::testing::AssertionSuccess();
}

class W1LinkTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    testing::W1Rig rig;
};

TEST_F(W1LinkTest, PortChoiceNamesTheMastersThereAre) {
    struct Case {
        std::vector<uint32_t> masters;
        std::optional<uint32_t> wanted;
        bool silent;
        std::optional<WireErrorCode> code;
        std::vector<std::string> words;
    } const cases[] = {
        {{},
         std::nullopt,
         false,
         WireErrorCode::PortGone,
         {"no 1-Wire master", "modprobe wire", "dtoverlay=w1-gpio"}},
        {{},
         std::nullopt,
         true,
         WireErrorCode::PortGone,
         {"no 1-Wire master", "did not answer within 1000 ms", "modprobe wire"}},
        {{1, 2},
         std::nullopt,
         false,
         WireErrorCode::BadPortSpec,
         {"w1_bus_master1, w1_bus_master2", "w1:1"}},
        {{1, 2},
         3u,
         false,
         WireErrorCode::PortGone,
         {"w1_bus_master3", "it has w1_bus_master1, w1_bus_master2"}},
        {{2}, std::nullopt, false, std::nullopt, {}},
        {{1, 2}, 2u, false, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words.empty() ? "opens" : c.words.front());
        testing::W1Rig fresh;
        for (const uint32_t id : c.masters) {
            fresh.kernel->addMaster(id, Bench(clock));
        }
        fresh.kernel->setSilent(c.silent);
        auto link = fresh.link(c.wanted);
        const auto opened = link->open();
        if (!c.code) {
            EXPECT_TRUE(opened) << opened.error().message;
            EXPECT_EQ(link->reset().ok(), true);
            continue;
        }
        EXPECT_TRUE(FailsWith(opened, *c.code, c.words));
        EXPECT_FALSE(link->isOpen());
    }
}

// The kernel searches between any two messages; a sequence that went out in one still reads
// the scratchpad of the device it addressed.
TEST_F(W1LinkTest, BytesAfterAResetCarryTheResetAndAddressingAlong) {
    auto bench = Bench(clock);
    rig.kernel->addMaster(1, bench);
    rig.kernel->searchBetweenMessages(1);
    auto link = rig.link(1);
    ASSERT_TRUE(link->open());
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(*link->reset(), ResetOutcome::Presence);
        std::array<uint8_t, 9> match{0x55};
        std::copy(kThermometer.begin(), kThermometer.end(), match.begin() + 1);
        ASSERT_TRUE(link->touchBlock(match));
        std::vector<uint8_t> read(10, 0xFF);
        read[0] = 0xBE;
        ASSERT_TRUE(link->touchBlock(read));
        const std::vector<uint8_t> scratchpad(read.begin() + 1, read.end());
        EXPECT_EQ(Crc8(scratchpad), 0);
        EXPECT_EQ(scratchpad[2], 30);
        EXPECT_EQ(scratchpad[3], 10);
    }
    EXPECT_GT(rig.kernel->kernelSearches(), 3u);
    // open's master list, then per round: the reset, Match ROM, Read Scratchpad
    EXPECT_EQ(link->messagesSent(), 7u);
}

TEST_F(W1LinkTest, WhatTheKernelCannotDoIsRefusedByName) {
    rig.kernel->addMaster(1, Bench(clock));
    auto link = rig.link(1);
    ASSERT_TRUE(link->open());
    const auto bit = link->touchBit(true);
    ASSERT_FALSE(bit);
    EXPECT_EQ(bit.error().code, WireErrorCode::Unsupported);
    EXPECT_TRUE(FailsWith(link->armStrongPullup(PullupTrigger::AfterNextByte),
                          WireErrorCode::Unsupported, {"no strong pull-up"}));
}

TEST_F(W1LinkTest, KernelStatusesReachTheCaller) {
    rig.kernel->addMaster(1, Bench(clock, R"({"devices": []})"));
    rig.kernel->addMaster(2, Bench(clock));
    auto empty = rig.link(1);
    ASSERT_TRUE(empty->open());
    EXPECT_EQ(*empty->reset(), ResetOutcome::NoPresence);  // status 255
    EXPECT_TRUE(empty->listBus(false)->empty());

    auto link = rig.link(2);
    ASSERT_TRUE(link->open());
    EXPECT_EQ(link->listBus(false)->size(), 3u);
    rig.kernel->setSilent(true);
    const auto unanswered = link->reset();
    ASSERT_FALSE(unanswered);
    EXPECT_EQ(unanswered.error().code, WireErrorCode::Timeout);
    EXPECT_NE(unanswered.error().message.find("did not answer within 3000 ms"), std::string::npos);
    rig.kernel->setSilent(false);
    rig.kernel->removeMaster(2);  // ENODEV
    const auto gone = link->reset();
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().code, WireErrorCode::PortGone);
    EXPECT_NE(gone.error().message.find("w1_bus_master2 is gone"), std::string::npos);
    EXPECT_FALSE(link->isOpen());
    EXPECT_TRUE(FailsWith(link->open(), WireErrorCode::PortGone, {"w1_bus_master2"}));
}

TEST_F(W1LinkTest, SecondProgramOnTheSameMasterIsRefused) {
    rig.kernel->addMaster(1, Bench(clock));
    auto first = rig.link(std::nullopt);
    auto second = rig.link(1);
    ASSERT_TRUE(first->open());
    EXPECT_TRUE(FailsWith(second->open(), WireErrorCode::PortBusy, {"in use by another program"}));
    first->close();
    EXPECT_TRUE(second->open());
}

// A transport that spoils the first reply to a bus command in one way.
class SpoilingTransport final : public NetlinkTransport {
  public:
    SpoilingTransport(std::unique_ptr<NetlinkTransport> inner, size_t at, uint32_t value)
        : inner_(std::move(inner)), at_(at), value_(value) {}
    WireResult<void> open() override { return inner_->open(); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    uint32_t portId() const override { return inner_->portId(); }
    WireResult<void> send(std::span<const uint8_t> packet) override {
        ++sent_;
        return inner_->send(packet);
    }
    WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds within) override {
        auto packet = inner_->receive(within);
        if (packet && sent_ == 3 && at_ + 2 <= packet->size()) {
            (*packet)[at_] = static_cast<uint8_t>(value_);
            (*packet)[at_ + 1] = static_cast<uint8_t>(value_ >> 8);
        }
        return packet;
    }

  private:
    std::unique_ptr<NetlinkTransport> inner_;
    size_t at_;
    uint32_t value_;
    int sent_ = 0;
};

TEST_F(W1LinkTest, GarbledRepliesAreRefusedNotRead) {
    rig.kernel->addMaster(1, Bench(clock));
    struct Case {
        const char* what;
        size_t at;
        uint32_t value;
    } const cases[] = {
        {"a netlink length of 4096", 0, 4096},    {"a netlink length of 20", 0, 20},
        {"a packet of another connector", 16, 4}, {"a connector length of 900", 32, 900},
        {"a message length of 700", 38, 700},     {"a command length of 600", 50, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        W1Link link(std::make_unique<SpoilingTransport>(rig.kernel->connect(), c.at, c.value), 1,
                    rig.options());
        ASSERT_TRUE(link.open());
        std::vector<uint8_t> bytes{0xCC};
        (void)link.reset();
        EXPECT_TRUE(
            FailsWith(link.touchBlock(bytes), WireErrorCode::Protocol, {"garbled", c.what}));
    }
}

// What the model answers to requests the link never makes, as the kernel does: the status of the
// message (or nothing at all, where the connector drops it).
TEST_F(W1LinkTest, KernelModelAnswersMalformedRequests) {
    rig.kernel->addMaster(1, Bench(clock));
    struct Case {
        const char* what;
        size_t at;
        uint16_t value;
        std::optional<uint8_t> status;
    } const cases[] = {
        {"intact", 0, 0, 0},
        {"message longer than the packet", 38, 200, E2BIG},
        {"command longer than its message", 50, 100, EPROTO},
        {"unknown master", 40, 9, ENODEV},
        {"unknown flag", 34, 2, EINVAL},
        {"another connector", 16, 4, std::nullopt},
        {"connector length beyond the packet", 32, 300, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto packet = EncodeRequest(
            Request{7, message_type::kMasterCmd, 1, {Command{command::kReset, {}}}}, 99);
        ASSERT_TRUE(packet);
        if (c.at != 0) {
            (*packet)[c.at] = static_cast<uint8_t>(c.value);
            (*packet)[c.at + 1] = static_cast<uint8_t>(c.value >> 8);
        }
        rig.kernel->handle(*packet, 99);
        auto& replies = rig.kernel->queue(99);
        if (!c.status) {
            EXPECT_TRUE(replies.empty());
            continue;
        }
        ASSERT_EQ(replies.size(), 1u);
        const auto messages = DecodeReply(replies.front());
        replies.clear();
        ASSERT_TRUE(messages);
        ASSERT_EQ(messages->size(), 1u);
        EXPECT_EQ(messages->front().seq, 7u);
        EXPECT_EQ(messages->front().status, *c.status);
    }
}

// This machine's own kernel, which has no w1 master (perhaps no w1 subsystem either): the
// socket is refused, or LIST_MASTERS is not answered, or answered with none.
TEST(W1RealSocket, KernelWithoutMasterSaysSoAndWhatToDo) {
    testing::W1Rig rig;
    W1Options options = rig.options();
    options.listTimeout = std::chrono::milliseconds(300);
    W1Link link(std::make_unique<NetlinkSocket>(), std::nullopt, options);
    EXPECT_TRUE(FailsWith(link.open(), WireErrorCode::PortGone,
                          {"no 1-Wire master", "modprobe wire", "dtoverlay=w1-gpio"}));
    EXPECT_FALSE(link.isOpen());
}

}  // namespace
}  // namespace velgrin::w1
