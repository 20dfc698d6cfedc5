#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "wire/sim/sim_bench.h"
#include "wire/w1/netlink_transport.h"

namespace velgrin::w1 {

// The kernel's side of the w1 netlink connector, for tests and benchmarks: its masters, each
// with a simulated bench as its bus. A datagram is handled the moment it is sent, as the kernel
// does for a request on an idle master: every message of it in turn, each message's command
// list as one unit on the bus, its replies queued for the sender's port (data before the
// status of the command it belongs to). What the kernel drops (another connector, a payload
// over its limit, a packet shorter than its headers say) gets no reply at all.
class W1Kernel {
  public:
    W1Kernel() = default;
    W1Kernel(const W1Kernel&) = delete;
    W1Kernel& operator=(const W1Kernel&) = delete;

    // A master w1_bus_masterN with `bench` as its bus; removing it makes it unknown (ENODEV).
    void addMaster(uint32_t id, std::shared_ptr<sim::SimBench> bench);
    void removeMaster(uint32_t id);
    sim::SimBench* bench(uint32_t id);

    // The kernel's own search of every master, as its thread runs it every few seconds:
    // after each `everyMessages` messages handled (0: never), before the next.
    void searchBetweenMessages(int everyMessages) { searchEvery_ = everyMessages; }
    // A kernel that takes requests and never answers (a wedged master thread).
    void setSilent(bool silent) { silent_ = silent; }

    // A socket of a user program, bound to a port of its own.
    std::unique_ptr<NetlinkTransport> connect();

    void handle(std::span<const uint8_t> packet, uint32_t portId);
    std::deque<std::vector<uint8_t>>& queue(uint32_t portId) { return queues_[portId]; }

    uint64_t messagesHandled() const { return messagesHandled_; }
    uint64_t kernelSearches() const { return kernelSearches_; }

  private:
    struct Reply {
        uint32_t seq = 0;
        uint32_t ack = 0;
        uint8_t type = 0;
        uint8_t status = 0;
        uint32_t master = 0;
        bool withCommand = false;
        uint8_t command = 0;
        std::vector<uint8_t> data;
    };

    static Reply Header(uint32_t seq, uint32_t ack, uint8_t type, uint32_t master);
    void send(uint32_t portId, const Reply& reply);
    void runMasterCommands(uint32_t portId, uint32_t seq, uint32_t ack, uint32_t master,
                           std::span<const uint8_t> commands);
    void listMasters(uint32_t portId, uint32_t seq);
    std::vector<uint8_t> search(sim::SimBench& bench, bool alarmOnly);
    void ownSearches();

    std::map<uint32_t, std::shared_ptr<sim::SimBench>> masters_;
    std::map<uint32_t, std::deque<std::vector<uint8_t>>> queues_;
    uint32_t nextPort_ = 4000;
    int searchEvery_ = 0;
    bool silent_ = false;
    uint64_t messagesHandled_ = 0;
    uint64_t kernelSearches_ = 0;
};

}  // namespace velgrin::w1
