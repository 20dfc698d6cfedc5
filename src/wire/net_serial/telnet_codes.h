#pragma once

#include <cstdint>

// The telnet bytes (RFC 854, 856, 858) and the COM-PORT-OPTION commands (RFC 2217) the serial
// adapters need.
namespace velgrin::net_serial::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;

inline constexpr uint8_t kBinary = 0;
inline constexpr uint8_t kSuppressGoAhead = 3;
inline constexpr uint8_t kComPort = 44;

// Client to server; the server answers each with the same command plus 100.
inline constexpr uint8_t kSetBaudRate = 1;
inline constexpr uint8_t kSetDataSize = 2;
inline constexpr uint8_t kSetParity = 3;
inline constexpr uint8_t kSetStopSize = 4;
inline constexpr uint8_t kSetControl = 5;
inline constexpr uint8_t kPurgeData = 12;
inline constexpr uint8_t kServerReply = 100;

inline constexpr uint8_t kParityNone = 1;
inline constexpr uint8_t kStopOne = 1;
inline constexpr uint8_t kBreakOn = 5;
inline constexpr uint8_t kBreakOff = 6;
// What came from the serial line and still waits in the server.
inline constexpr uint8_t kPurgeReceived = 1;

}  // namespace velgrin::net_serial::telnet
