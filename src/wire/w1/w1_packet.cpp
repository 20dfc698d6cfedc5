#include "wire/w1/w1_packet.h"

#include <cstring>

#include "wire/w1/w1_codes.h"

namespace velgrin::w1 {

namespace {

template <typename T>
void Put(std::vector<uint8_t>& out, T value) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.insert(out.end(), bytes, bytes + sizeof(T));
}

template <typename T>
T Get(std::span<const uint8_t> bytes, size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof(T));
    return value;
}

WireError Garbled(const std::string& what) {
    return WireError{WireErrorCode::Protocol, "the kernel's w1 reply is garbled: " + what};
}

}  // namespace

WireResult<std::vector<uint8_t>> EncodeRequest(const Request& request, uint32_t portId) {
    size_t body = kMessageHeaderSize;
    for (const Command& command : request.commands) {
        if (command.data.size() > UINT16_MAX) {
            return WireError{WireErrorCode::Unsupported, "a w1 command of " +
                                                             std::to_string(command.data.size()) +
                                                             " bytes is more than one can carry"};
        }
        body += kCommandHeaderSize + command.data.size();
    }
    if (body > kMaxConnectorPayload) {
        return WireError{WireErrorCode::Unsupported,
                         "a w1 request of " + std::to_string(body) +
                             " bytes is more than the kernel's connector takes (" +
                             std::to_string(kMaxConnectorPayload) + ")"};
    }
    std::vector<uint8_t> out;
    out.reserve(kNetlinkHeaderSize + kConnectorHeaderSize + body);
    Put<uint32_t>(out, static_cast<uint32_t>(kNetlinkHeaderSize + kConnectorHeaderSize + body));
    Put<uint16_t>(out, kNetlinkDone);
    Put<uint16_t>(out, 0);
    Put<uint32_t>(out, request.seq);
    Put<uint32_t>(out, portId);
    Put<uint32_t>(out, kConnectorIdx);
    Put<uint32_t>(out, kConnectorVal);
    Put<uint32_t>(out, request.seq);
    Put<uint32_t>(out, request.seq);  // ack: the kernel echoes it in each status
    Put<uint16_t>(out, static_cast<uint16_t>(body));
    Put<uint16_t>(out, 0);
    out.push_back(request.type);
    out.push_back(0);
    Put<uint16_t>(out, static_cast<uint16_t>(body - kMessageHeaderSize));
    Put<uint32_t>(out, request.master);
    Put<uint32_t>(out, 0);
    for (const Command& command : request.commands) {
        out.push_back(command.code);
        out.push_back(0);
        Put<uint16_t>(out, static_cast<uint16_t>(command.data.size()));
        out.insert(out.end(), command.data.begin(), command.data.end());
    }
    return out;
}

WireResult<std::vector<ReplyMessage>> DecodeReply(std::span<const uint8_t> packet) {
    if (packet.size() < kNetlinkHeaderSize + kConnectorHeaderSize) {
        return Garbled("a packet of " + std::to_string(packet.size()) + " bytes");
    }
    const auto netlinkLength = Get<uint32_t>(packet, 0);
    if (netlinkLength < kNetlinkHeaderSize + kConnectorHeaderSize ||
        netlinkLength > packet.size()) {
        return Garbled("a netlink length of " + std::to_string(netlinkLength) + " in " +
                       std::to_string(packet.size()) + " bytes");
    }
    const auto connector = packet.subspan(kNetlinkHeaderSize, netlinkLength - kNetlinkHeaderSize);
    if (Get<uint32_t>(connector, 0) != kConnectorIdx ||
        Get<uint32_t>(connector, 4) != kConnectorVal) {
        return Garbled("a packet of another connector");
    }
    const uint32_t seq = Get<uint32_t>(connector, 8);
    const uint32_t ack = Get<uint32_t>(connector, 12);
    const size_t payloadLength = Get<uint16_t>(connector, 16);
    if (payloadLength > connector.size() - kConnectorHeaderSize) {
        return Garbled("a connector length of " + std::to_string(payloadLength));
    }
    auto rest = connector.subspan(kConnectorHeaderSize, payloadLength);
    std::vector<ReplyMessage> messages;
    while (!rest.empty()) {
        if (rest.size() < kMessageHeaderSize) {
            return Garbled("a message header cut short");
        }
        ReplyMessage message;
        message.seq = seq;
        message.ack = ack;
        message.type = rest[0];
        message.status = rest[1];
        const size_t length = Get<uint16_t>(rest, 2);
        message.master = Get<uint32_t>(rest, 4);
        if (length > rest.size() - kMessageHeaderSize) {
            return Garbled("a message length of " + std::to_string(length));
        }
        const auto body = rest.subspan(kMessageHeaderSize, length);
        if (message.type == message_type::kMasterCmd && !body.empty()) {
            if (body.size() < kCommandHeaderSize) {
                return Garbled("a command header cut short");
            }
            const size_t dataLength = Get<uint16_t>(body, 2);
            if (dataLength > body.size() - kCommandHeaderSize) {
                return Garbled("a command length of " + std::to_string(dataLength));
            }
            message.hasCommand = true;
            message.command = body[0];
            const auto data = body.subspan(kCommandHeaderSize, dataLength);
            message.data.assign(data.begin(), data.end());
        } else {
            message.data.assign(body.begin(), body.end());
        }
        messages.push_back(std::move(message));
        rest = rest.subspan(kMessageHeaderSize + length);
    }
    return messages;
}

WireResult<std::vector<uint32_t>> MasterIds(const ReplyMessage& message) {
    if (message.data.size() % sizeof(uint32_t) != 0) {
        return Garbled("a master list of " + std::to_string(message.data.size()) + " bytes");
    }
    std::vector<uint32_t> ids;
    for (size_t at = 0; at < message.data.size(); at += sizeof(uint32_t)) {
        ids.push_back(Get<uint32_t>(message.data, at));
    }
    return ids;
}

}  // namespace velgrin::w1
