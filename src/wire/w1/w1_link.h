#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "wire/link.h"
#include "wire/w1/netlink_transport.h"
#include "wire/w1/w1_packet.h"

namespace velgrin::w1 {

struct W1Options {
    // How long one reply of the kernel may take. A kernel search of a full bus (64 devices)
    // takes about a second, and the master may be busy with one of its own drivers first.
    std::chrono::milliseconds replyTimeout{3000};
    // How long the kernel may take to list its masters: without the w1 subsystem nobody answers.
    std::chrono::milliseconds listTimeout{1000};
    // Where the per-master lock files go that keep two Velgrin programs off one master.
    std::string lockDirectory = "/run/lock";
};

// A bus master of the kernel's w1 subsystem, reached over netlink. The kernel runs each message
// under the bus's lock, so everything that must not be split goes out in one message: a reset
// with Match ROM and the command bytes after it. A bus reset is sent on its own for its presence;
// the bytes after it carry that reset and the addressing bytes sent since along, as long as
// nothing but addressing went out (that much may be repeated). Once a function command went,
// later bytes of the sequence follow in messages of their own. There is no single time slot and
// no strong pull-up; the kernel searches the bus itself.
class W1Link final : public Link {
  public:
    // `master`: the id N of w1_bus_masterN; none for the only master there is.
    W1Link(std::unique_ptr<NetlinkTransport> transport, std::optional<uint32_t> master,
           W1Options options = {});
    ~W1Link() override;
    W1Link(const W1Link&) = delete;
    W1Link& operator=(const W1Link&) = delete;

    bool isOpen() const override { return transport_->isOpen() && master_.has_value(); }
    LinkCapabilities capabilities() const override {
        return {.bitAccess = false,
                .strongPullup = false,
                .alarmSearch = true,
                .wholeBusSearch = true,
                .pullupLimit = "the kernel's w1 interface gives programs no strong pull-up"};
    }

    // Messages sent to the kernel since the link was made.
    uint64_t messagesSent() const { return messagesSent_; }

  private:
    struct Outcome {
        uint8_t status = 0;
        std::vector<uint8_t> data;
    };

    WireResult<void> openAdapter() override;
    void closeAdapter() override;
    WireResult<ResetOutcome> resetBus() override;
    WireResult<uint8_t> sendByte(uint8_t byte, bool pullupAfter) override;
    WireResult<void> sendBlock(std::span<uint8_t> bytes) override;
    WireResult<std::vector<RomCode>> listWholeBus(bool alarmOnly) override;
    std::string sequenceCutter() const override { return "the kernel's w1 master"; }

    // The masters the kernel has (ids N of w1_bus_masterN).
    WireResult<std::vector<uint32_t>> listMasters();
    // One MASTER_CMD with `commands`; the outcome of each, in order.
    WireResult<std::vector<Outcome>> exchange(std::vector<Command> commands);
    WireResult<uint32_t> chooseMaster(const std::vector<uint32_t>& masters) const;
    WireResult<void> lock(uint32_t master);
    WireError statusError(uint8_t status, const std::string& what) const;
    std::string masterName() const;

    std::unique_ptr<NetlinkTransport> transport_;
    std::optional<uint32_t> wanted_;
    std::optional<uint32_t> master_;
    W1Options options_;
    uint32_t seq_ = 0;
    uint64_t messagesSent_ = 0;
    int lockFd_ = -1;
    // The bytes since the last reset while they are addressing alone; none once a function
    // command went out.
    std::optional<std::vector<uint8_t>> addressing_;
};

// "w1_bus_master3, w1_bus_master5".
std::string MasterNames(const std::vector<uint32_t>& masters);

}  // namespace velgrin::w1
