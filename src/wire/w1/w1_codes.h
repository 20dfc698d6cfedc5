#pragma once

#include <cstddef>
#include <cstdint>

namespace velgrin::w1 {

// The connector the kernel's w1 subsystem listens on.
inline constexpr uint32_t kConnectorIdx = 3;
inline constexpr uint32_t kConnectorVal = 1;
// The connector drops a request whose payload is larger, without a word.
inline constexpr size_t kMaxConnectorPayload = 16384;

inline constexpr size_t kNetlinkHeaderSize = 16;
inline constexpr size_t kConnectorHeaderSize = 20;
inline constexpr size_t kMessageHeaderSize = 12;
inline constexpr size_t kCommandHeaderSize = 4;
inline constexpr uint16_t kNetlinkDone = 3;  // NLMSG_DONE, the type every connector packet has

namespace message_type {
inline constexpr uint8_t kMasterCmd = 4;
inline constexpr uint8_t kListMasters = 6;
}  // namespace message_type

namespace command {
inline constexpr uint8_t kRead = 0;
inline constexpr uint8_t kWrite = 1;
inline constexpr uint8_t kSearch = 2;
inline constexpr uint8_t kAlarmSearch = 3;
inline constexpr uint8_t kTouch = 4;
inline constexpr uint8_t kReset = 5;
}  // namespace command

// The status byte of a reset that saw no presence pulse (the bus reset's result 1, negated).
inline constexpr uint8_t kNoPresenceStatus = 255;

}  // namespace velgrin::w1
