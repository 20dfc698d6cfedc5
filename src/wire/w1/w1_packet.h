#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "wire/wire_error.h"

namespace velgrin::w1 {

struct Command {
    uint8_t code = 0;
    std::vector<uint8_t> data;  // what is written, or as many bytes as are to be read
};

// One request to the kernel: a message of one type for one master, with its commands.
struct Request {
    uint32_t seq = 0;
    uint8_t type = 0;
    uint32_t master = 0;
    std::vector<Command> commands;
};

// One message of a reply packet. `hasCommand`: it carries a command header (a command's data,
// or the command a status is about).
struct ReplyMessage {
    uint32_t seq = 0;
    uint32_t ack = 0;
    uint8_t type = 0;
    uint8_t status = 0;
    uint32_t master = 0;
    bool hasCommand = false;
    uint8_t command = 0;
    std::vector<uint8_t> data;  // the command's data, or the message's own (a master list)
};

// The whole datagram, netlink header included, in host byte order. Fails when the connector
// would drop it for its size.
WireResult<std::vector<uint8_t>> EncodeRequest(const Request& request, uint32_t portId);

// Every w1 message of one received datagram. Each length is checked against what holds it
// before it is used; a packet of another connector is refused.
WireResult<std::vector<ReplyMessage>> DecodeReply(std::span<const uint8_t> packet);

// The master ids in the data of a LIST_MASTERS reply.
WireResult<std::vector<uint32_t>> MasterIds(const ReplyMessage& message);

}  // namespace velgrin::w1
