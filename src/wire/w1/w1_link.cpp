#include "wire/w1/w1_link.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "wire/link_trace.h"
#include "wire/network.h"
#include "wire/w1/w1_codes.h"

namespace velgrin::w1 {

namespace {

constexpr size_t kRomSize = std::tuple_size_v<RomCode>;

constexpr const char* kMasterFix =
    "load the w1 subsystem and the master's module (`modprobe wire`, then `modprobe w1-gpio`, "
    "`ds2490` or `ds2482`), or on a Raspberry Pi put `dtoverlay=w1-gpio` into config.txt and "
    "reboot";

// Replies of one request: a full bus's search comes in a few dozen at most.
constexpr int kMaxReplyPackets = 4096;

std::string MasterName(uint32_t id) {
    return "w1_bus_master" + std::to_string(id);
}

// Addressing bytes that may go out again after a new reset: Match ROM or Read ROM with up to
// their eight code bytes, or Skip ROM alone.
bool OnlyAddressing(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) {
        return true;
    }
    switch (bytes[0]) {
        case rom_command::kMatchRom:
        case rom_command::kReadRom:
            return bytes.size() <= 1 + kRomSize;
        case rom_command::kSkipRom:
            return bytes.size() == 1;
        default:
            return false;
    }
}

}  // namespace

std::string MasterNames(const std::vector<uint32_t>& masters) {
    std::string text;
    for (const uint32_t id : masters) {
        text += (text.empty() ? "" : ", ") + MasterName(id);
    }
    return text;
}

W1Link::W1Link(std::unique_ptr<NetlinkTransport> transport, std::optional<uint32_t> master,
               W1Options options)
    : transport_(std::move(transport)), wanted_(master), options_(std::move(options)) {}

W1Link::~W1Link() {
    close();
}

std::string W1Link::masterName() const {
    return "the kernel's 1-Wire master " + MasterName(master_.value_or(wanted_.value_or(0)));
}

WireResult<std::vector<uint32_t>> W1Link::listMasters() {
    const auto noMaster = [](const WireError& why) {
        return WireError{WireErrorCode::PortGone,
                         "no 1-Wire master: " + why.message + "; " + kMasterFix};
    };
    if (auto opened = transport_->open(); !opened) {
        return noMaster(opened.error());
    }
    const uint32_t seq = ++seq_;
    auto packet =
        EncodeRequest(Request{seq, message_type::kListMasters, 0, {}}, transport_->portId());
    if (!packet) {
        return packet.error();
    }
    if (auto sent = transport_->send(*packet); !sent) {
        return noMaster(sent.error());
    }
    TraceAdapterBytes(AdapterDirection::Sent, *packet);
    ++messagesSent_;
    for (int count = 0; count < kMaxReplyPackets; ++count) {
        auto received = transport_->receive(options_.listTimeout);
        if (!received) {
            if (received.error().code != WireErrorCode::Timeout) {
                return received.error();
            }
            return noMaster(WireError{WireErrorCode::Timeout,
                                      "the kernel's w1 subsystem did not answer within " +
                                          std::to_string(options_.listTimeout.count()) + " ms"});
        }
        TraceAdapterBytes(AdapterDirection::Received, *received);
        auto messages = DecodeReply(*received);
        if (!messages) {
            return messages.error();
        }
        for (const ReplyMessage& message : *messages) {
            if (message.seq == seq && message.type == message_type::kListMasters) {
                return MasterIds(message);
            }
        }
    }
    return WireError{WireErrorCode::Protocol, "the kernel never listed its 1-Wire masters"};
}

WireResult<uint32_t> W1Link::chooseMaster(const std::vector<uint32_t>& masters) const {
    if (masters.empty()) {
        return WireError{
            WireErrorCode::PortGone,
            std::string("no 1-Wire master: the kernel's w1 subsystem has none; ") + kMasterFix};
    }
    if (wanted_) {
        if (std::find(masters.begin(), masters.end(), *wanted_) == masters.end()) {
            return WireError{WireErrorCode::PortGone, "the kernel has no 1-Wire master " +
                                                          MasterName(*wanted_) + "; it has " +
                                                          MasterNames(masters)};
        }
        return *wanted_;
    }
    if (masters.size() > 1) {
        return WireError{WireErrorCode::BadPortSpec,
                         "the kernel has several 1-Wire masters (" + MasterNames(masters) +
                             "): name one, as w1:" + std::to_string(masters.front())};
    }
    return masters.front();
}

WireResult<void> W1Link::lock(uint32_t master) {
    const std::string path =
        options_.lockDirectory + "/velgrin-w1-" + std::to_string(master) + ".lock";
    // Read-only is enough for flock and lets another user open the file the first one made.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        const int error = errno;
        return WireError{WireErrorCode::Io,
                         "cannot make the lock file " + path + ": " + std::strerror(error)};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return WireError{WireErrorCode::PortBusy,
                             MasterName(master) +
                                 " is in use by another program (a second Velgrin or "
                                 "velgrin-cli): close it and try again"};
        }
        return WireError{WireErrorCode::Io, "cannot lock " + path + ": " + std::strerror(error)};
    }
    lockFd_ = fd;
    return {};
}

WireResult<void> W1Link::openAdapter() {
    if (isOpen()) {
        return {};
    }
    auto masters = listMasters();
    if (!masters) {
        transport_->close();
        return masters.error();
    }
    auto chosen = chooseMaster(*masters);
    if (!chosen) {
        transport_->close();
        return chosen.error();
    }
    if (auto locked = lock(*chosen); !locked) {
        transport_->close();
        return locked;
    }
    master_ = *chosen;
    addressing_.reset();
    return {};
}

void W1Link::closeAdapter() {
    transport_->close();
    master_.reset();
    addressing_.reset();
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // ends the flock
        lockFd_ = -1;
    }
}

WireError W1Link::statusError(uint8_t status, const std::string& what) const {
    if (status == ENODEV) {
        return WireError{WireErrorCode::PortGone, masterName() + " is gone"};
    }
    return WireError{WireErrorCode::Io, masterName() + " refused " + what + ": " +
                                            std::strerror(status) + " (status " +
                                            std::to_string(status) + ")"};
}

WireResult<std::vector<W1Link::Outcome>> W1Link::exchange(std::vector<Command> commands) {
    if (!master_) {
        return WireError{WireErrorCode::Io, "the adapter is not open"};
    }
    const uint32_t seq = ++seq_;
    const size_t count = commands.size();
    std::vector<uint8_t> codes;
    for (const Command& command : commands) {
        codes.push_back(command.code);
    }
    auto packet =
        EncodeRequest(Request{seq, message_type::kMasterCmd, *master_, std::move(commands)},
                      transport_->portId());
    if (!packet) {
        return packet.error();
    }
    if (auto sent = transport_->send(*packet); !sent) {
        return sent.error();
    }
    TraceAdapterBytes(AdapterDirection::Sent, *packet);
    ++messagesSent_;
    std::vector<Outcome> outcomes(count);
    size_t done = 0;
    for (int packets = 0; packets < kMaxReplyPackets && done < count; ++packets) {
        auto received = transport_->receive(options_.replyTimeout);
        if (!received) {
            if (received.error().code == WireErrorCode::Timeout) {
                return WireError{WireErrorCode::Timeout,
                                 masterName() + " did not answer within " +
                                     std::to_string(options_.replyTimeout.count()) + " ms"};
            }
            return received.error();
        }
        TraceAdapterBytes(AdapterDirection::Received, *received);
        auto messages = DecodeReply(*received);
        if (!messages) {
            return messages.error();
        }
        for (const ReplyMessage& message : *messages) {
            if (message.seq != seq || message.type != message_type::kMasterCmd || done == count) {
                continue;  // a late reply to an earlier request
            }
            if (message.ack == seq + 1) {
                auto& data = outcomes[done].data;
                data.insert(data.end(), message.data.begin(), message.data.end());
                continue;
            }
            const bool absentPresence =
                codes[done] == command::kReset && message.status == kNoPresenceStatus;
            if (message.status != 0 && !absentPresence) {
                auto failure = statusError(message.status, "a bus command");
                if (failure.code == WireErrorCode::PortGone) {
                    close();  // as a vanished device ends its open file
                }
                return failure;
            }
            outcomes[done++].status = message.status;
        }
    }
    if (done < count) {
        return WireError{WireErrorCode::Protocol, masterName() + " answered " +
                                                      std::to_string(done) + " of " +
                                                      std::to_string(count) + " commands"};
    }
    return outcomes;
}

WireResult<ResetOutcome> W1Link::resetBus() {
    auto outcomes = exchange({Command{command::kReset, {}}});
    if (!outcomes) {
        addressing_.reset();
        return outcomes.error();
    }
    addressing_.emplace();
    return (*outcomes)[0].status == kNoPresenceStatus ? ResetOutcome::NoPresence
                                                      : ResetOutcome::Presence;
}

WireResult<uint8_t> W1Link::sendByte(uint8_t byte, bool) {
    uint8_t block[1] = {byte};
    if (auto sent = sendBlock(block); !sent) {
        return sent.error();
    }
    return block[0];
}

WireResult<void> W1Link::sendBlock(std::span<uint8_t> bytes) {
    std::vector<Command> commands;
    const bool replay = addressing_.has_value();
    if (replay) {
        commands.push_back(Command{command::kReset, {}});
        if (!addressing_->empty()) {
            commands.push_back(Command{command::kWrite, *addressing_});
        }
    }
    commands.push_back(Command{command::kTouch, {bytes.begin(), bytes.end()}});
    auto outcomes = exchange(std::move(commands));
    if (!outcomes) {
        addressing_.reset();
        return outcomes.error();
    }
    if (replay && outcomes->front().status == kNoPresenceStatus) {
        addressing_.reset();
        return WireError{WireErrorCode::Io,
                         "no device answered the reset that the bytes went out after"};
    }
    const auto& read = outcomes->back().data;
    if (read.size() != bytes.size()) {
        addressing_.reset();
        return WireError{WireErrorCode::Protocol, masterName() + " gave back " +
                                                      std::to_string(read.size()) + " of " +
                                                      std::to_string(bytes.size()) + " bytes"};
    }
    if (replay) {
        addressing_->insert(addressing_->end(), bytes.begin(), bytes.end());
        if (!OnlyAddressing(*addressing_)) {
            addressing_.reset();
        }
    }
    std::copy(read.begin(), read.end(), bytes.begin());
    return {};
}

WireResult<std::vector<RomCode>> W1Link::listWholeBus(bool alarmOnly) {
    addressing_.reset();
    auto outcomes = exchange({Command{alarmOnly ? command::kAlarmSearch : command::kSearch, {}}});
    if (!outcomes) {
        return outcomes.error();
    }
    const auto& data = (*outcomes)[0].data;
    if (data.size() % kRomSize != 0) {
        return WireError{
            WireErrorCode::Protocol,
            masterName() + " listed " + std::to_string(data.size()) + " bytes of ROM codes"};
    }
    std::vector<RomCode> roms(data.size() / kRomSize);
    for (size_t i = 0; i < roms.size(); ++i) {
        std::copy_n(data.begin() + static_cast<ptrdiff_t>(i * kRomSize), kRomSize, roms[i].begin());
    }
    return roms;
}

}  // namespace velgrin::w1
