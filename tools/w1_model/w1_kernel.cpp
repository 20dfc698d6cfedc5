#include "w1_model/w1_kernel.h"

#include <errno.h>

#include <algorithm>
#include <cstring>

#include "common/crc.h"
#include "wire/w1/w1_codes.h"

namespace velgrin::w1 {

namespace {

// The kernel's default max_slave_count: a search stops after that many devices.
constexpr int kMaxSlaveCount = 64;
constexpr uint8_t kSearchRom = 0xF0;
constexpr uint8_t kConditionalSearch = 0xEC;

template <typename T>
T Get(std::span<const uint8_t> bytes, size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

template <typename T>
void Put(std::vector<uint8_t>& out, T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

uint8_t TouchByte(sim::SimBus& bus, uint8_t byte) {
    uint8_t read = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (bus.slot(((byte >> bit) & 1) != 0)) {
            read |= static_cast<uint8_t>(1u << bit);
        }
    }
    return read;
}

// The model's user-side socket: what it sends is handled at once, replies wait in its queue.
class ModelSocket final : public NetlinkTransport {
  public:
    ModelSocket(W1Kernel& kernel, uint32_t port) : kernel_(kernel), port_(port) {}
    WireResult<void> open() override {
        open_ = true;
        return {};
    }
    void close() override {
        open_ = false;
        kernel_.queue(port_).clear();
    }
    bool isOpen() const override { return open_; }
    uint32_t portId() const override { return port_; }
    WireResult<void> send(std::span<const uint8_t> packet) override {
        if (!open_) {
            return WireError{WireErrorCode::Io, "the connector socket is not open"};
        }
        kernel_.handle(packet, port_);
        return {};
    }
    // Nothing arrives later than the request's own handling, so waiting would change nothing.
    WireResult<std::vector<uint8_t>> receive(std::chrono::milliseconds) override {
        auto& queue = kernel_.queue(port_);
        if (!open_ || queue.empty()) {
            return WireError{WireErrorCode::Timeout, "the kernel's w1 subsystem did not answer"};
        }
        auto packet = std::move(queue.front());
        queue.pop_front();
        return packet;
    }

  private:
    W1Kernel& kernel_;
    uint32_t port_;
    bool open_ = false;
};

}  // namespace

void W1Kernel::addMaster(uint32_t id, std::shared_ptr<sim::SimBench> bench) {
    masters_[id] = std::move(bench);
}

void W1Kernel::removeMaster(uint32_t id) {
    masters_.erase(id);
}

sim::SimBench* W1Kernel::bench(uint32_t id) {
    const auto found = masters_.find(id);
    return found == masters_.end() ? nullptr : found->second.get();
}

std::unique_ptr<NetlinkTransport> W1Kernel::connect() {
    return std::make_unique<ModelSocket>(*this, nextPort_++);
}

W1Kernel::Reply W1Kernel::Header(uint32_t seq, uint32_t ack, uint8_t type, uint32_t master) {
    Reply reply;
    reply.seq = seq;
    reply.ack = ack;
    reply.type = type;
    reply.master = master;
    return reply;
}

void W1Kernel::send(uint32_t portId, const Reply& reply) {
    std::vector<uint8_t> body;
    body.push_back(reply.type);
    body.push_back(reply.status);
    const size_t length =
        reply.withCommand ? kCommandHeaderSize + reply.data.size() : reply.data.size();
    Put<uint16_t>(body, static_cast<uint16_t>(length));
    Put<uint32_t>(body, reply.master);
    Put<uint32_t>(body, 0);
    if (reply.withCommand) {
        body.push_back(reply.command);
        body.push_back(0);
        Put<uint16_t>(body, static_cast<uint16_t>(reply.data.size()));
    }
    body.insert(body.end(), reply.data.begin(), reply.data.end());
    std::vector<uint8_t> packet;
    Put<uint32_t>(packet,
                  static_cast<uint32_t>(kNetlinkHeaderSize + kConnectorHeaderSize + body.size()));
    Put<uint16_t>(packet, kNetlinkDone);
    Put<uint16_t>(packet, 0);
    Put<uint32_t>(packet, 0);
    Put<uint32_t>(packet, 0);
    Put<uint32_t>(packet, kConnectorIdx);
    Put<uint32_t>(packet, kConnectorVal);
    Put<uint32_t>(packet, reply.seq);
    Put<uint32_t>(packet, reply.ack);
    Put<uint16_t>(packet, static_cast<uint16_t>(body.size()));
    Put<uint16_t>(packet, 0);
    packet.insert(packet.end(), body.begin(), body.end());
    queues_[portId].push_back(std::move(packet));
}

void W1Kernel::handle(std::span<const uint8_t> packet, uint32_t portId) {
    if (silent_ || packet.size() < kNetlinkHeaderSize + kConnectorHeaderSize) {
        return;
    }
    const auto netlinkLength = Get<uint32_t>(packet, 0);
    if (netlinkLength < kNetlinkHeaderSize + kConnectorHeaderSize ||
        netlinkLength > packet.size()) {
        return;
    }
    const auto connector = packet.subspan(kNetlinkHeaderSize, netlinkLength - kNetlinkHeaderSize);
    const size_t payloadLength = Get<uint16_t>(connector, 16);
    if (Get<uint32_t>(connector, 0) != kConnectorIdx ||
        Get<uint32_t>(connector, 4) != kConnectorVal ||
        payloadLength > connector.size() - kConnectorHeaderSize ||
        payloadLength > kMaxConnectorPayload) {
        return;
    }
    const uint32_t seq = Get<uint32_t>(connector, 8);
    const uint32_t ack = Get<uint32_t>(connector, 12);
    const uint16_t flags = Get<uint16_t>(connector, 18);
    auto rest = connector.subspan(kConnectorHeaderSize, payloadLength);
    while (rest.size() >= kMessageHeaderSize) {
        Reply status = Header(seq, ack, rest[0], Get<uint32_t>(rest, 4));
        const size_t length = Get<uint16_t>(rest, 2);
        if ((flags & ~1u) != 0) {
            status.status = EINVAL;
            send(portId, status);
            return;
        }
        if (length > rest.size() - kMessageHeaderSize) {
            status.status = E2BIG;
            send(portId, status);
            return;
        }
        if (searchEvery_ > 0 && messagesHandled_ > 0 && messagesHandled_ % searchEvery_ == 0) {
            ownSearches();
        }
        ++messagesHandled_;
        const auto body = rest.subspan(kMessageHeaderSize, length);
        if (status.type == message_type::kListMasters) {
            listMasters(portId, seq);
        } else if (status.type != message_type::kMasterCmd) {
            status.status = EINVAL;
            send(portId, status);
        } else if (masters_.count(status.master) == 0) {
            status.status = ENODEV;
            send(portId, status);
        } else {
            runMasterCommands(portId, seq, ack, status.master, body);
        }
        rest = rest.subspan(kMessageHeaderSize + length);
    }
}

void W1Kernel::listMasters(uint32_t portId, uint32_t seq) {
    Reply reply = Header(seq, seq + 1, message_type::kListMasters, 0);
    for (const auto& [id, bench] : masters_) {
        Put<uint32_t>(reply.data, id);
    }
    send(portId, reply);
}

// The whole list runs with the bus held: nothing else reaches the bus between its commands.
void W1Kernel::runMasterCommands(uint32_t portId, uint32_t seq, uint32_t ack, uint32_t master,
                                 std::span<const uint8_t> commands) {
    sim::SimBench& bench = *masters_.at(master);
    bench.catchUp();
    sim::SimBus& bus = bench.bus();
    while (!commands.empty()) {
        Reply status = Header(seq, ack, message_type::kMasterCmd, master);
        status.withCommand = true;
        if (commands.size() < kCommandHeaderSize) {
            status.withCommand = false;
            status.status = EPROTO;
            send(portId, status);
            return;
        }
        status.command = commands[0];
        const size_t length = Get<uint16_t>(commands, 2);
        if (length > commands.size() - kCommandHeaderSize) {
            status.status = EPROTO;
            send(portId, status);
            return;
        }
        const auto data = commands.subspan(kCommandHeaderSize, length);
        Reply result = Header(seq, seq + 1, message_type::kMasterCmd, master);
        result.withCommand = true;
        result.command = status.command;
        switch (status.command) {
            case command::kReset:
                // A shorted line reads as a presence pulse: the kernel cannot tell the two apart.
                status.status = bus.reset() == ResetOutcome::NoPresence ? kNoPresenceStatus : 0;
                break;
            case command::kWrite:
                for (const uint8_t byte : data) {
                    (void)TouchByte(bus, byte);
                }
                break;
            case command::kRead:
            case command::kTouch:
                for (const uint8_t byte : data) {
                    result.data.push_back(
                        TouchByte(bus, status.command == command::kRead ? 0xFF : byte));
                }
                send(portId, result);
                break;
            case command::kSearch:
            case command::kAlarmSearch:
                result.data = search(bench, status.command == command::kAlarmSearch);
                send(portId, result);
                break;
            default:
                status.status = EINVAL;
                break;
        }
        send(portId, status);
        commands = commands.subspan(kCommandHeaderSize + length);
    }
}

// The search by triplets that the kernel runs, up to its slave limit. Codes failing their CRC
// and the all-zero code of a line held low are not devices.
std::vector<uint8_t> W1Kernel::search(sim::SimBench& bench, bool alarmOnly) {
    sim::SimBus& bus = bench.bus();
    std::vector<uint8_t> found;
    RomCode last{};
    int lastDiscrepancy = 0;
    for (int pass = 0; pass < kMaxSlaveCount; ++pass) {
        if (bus.reset() == ResetOutcome::NoPresence) {
            break;
        }
        (void)TouchByte(bus, alarmOnly ? kConditionalSearch : kSearchRom);
        RomCode rom{};
        int lastZero = 0;
        bool broken = false;
        for (int bit = 1; bit <= 64 && !broken; ++bit) {
            const bool id = bus.slot(true);
            const bool complement = bus.slot(true);
            if (id && complement) {
                broken = true;
                break;
            }
            bool direction = id;
            if (id == complement) {
                const bool before = ((last[(bit - 1) / 8] >> ((bit - 1) % 8)) & 1) != 0;
                direction = bit < lastDiscrepancy ? before : bit == lastDiscrepancy;
                if (!direction) {
                    lastZero = bit;
                }
            }
            (void)bus.slot(direction);
            if (direction) {
                rom[(bit - 1) / 8] |= static_cast<uint8_t>(1u << ((bit - 1) % 8));
            }
        }
        if (broken) {
            break;
        }
        const bool zero = std::all_of(rom.begin(), rom.end(), [](uint8_t b) { return b == 0; });
        if (!zero && Crc8(rom) == 0) {
            found.insert(found.end(), rom.begin(), rom.end());
        }
        last = rom;
        lastDiscrepancy = lastZero;
        if (lastDiscrepancy == 0) {
            break;
        }
    }
    return found;
}

void W1Kernel::ownSearches() {
    for (auto& [id, bench] : masters_) {
        bench->catchUp();
        (void)search(*bench, false);
        ++kernelSearches_;
    }
}

}  // namespace velgrin::w1
