#pragma once

#include <cstddef>
#include <cstdint>

// The DS2490 USB to 1-Wire bridge: identity, endpoints, vendor requests and the status packet.
namespace velgrin::ds2490 {

inline constexpr uint16_t kVendorId = 0x04FA;
inline constexpr uint16_t kProductId = 0x2490;

inline constexpr int kInterface = 0;
// Alternate setting 3: EP1 polled every millisecond, 64-byte bulk packets.
inline constexpr int kAlternateSetting = 3;

inline constexpr uint8_t kStatusEndpoint = 0x81;   // interrupt IN
inline constexpr uint8_t kDataOutEndpoint = 0x02;  // bulk OUT, to the bus
inline constexpr uint8_t kDataInEndpoint = 0x83;   // bulk IN, from the bus

inline constexpr size_t kFifoSize = 128;
// Blocks go over in pieces no larger than a full-speed bulk packet at alternate setting 3.
inline constexpr size_t kBlockChunk = 64;

// bmRequestType of every command: vendor, host to device, device recipient.
inline constexpr uint8_t kVendorOut = 0x40;

// bRequest: the command type.
enum class Request : uint8_t { Control = 0x00, Communication = 0x01, Mode = 0x02 };

// Control commands (wValue; wIndex 0).
namespace control {
inline constexpr uint16_t kResetDevice = 0x0000;
inline constexpr uint16_t kStartExecution = 0x0001;
inline constexpr uint16_t kResumeExecution = 0x0002;
inline constexpr uint16_t kHaltWhenIdle = 0x0003;
inline constexpr uint16_t kHaltWhenDone = 0x0004;
inline constexpr uint16_t kFlushCommands = 0x0007;
inline constexpr uint16_t kFlushReceiveBuffer = 0x0008;
inline constexpr uint16_t kFlushTransmitBuffer = 0x0009;
}  // namespace control

// Mode commands (wValue; wIndex the parameter). They take effect at once.
namespace mode {
inline constexpr uint16_t kPulseEnable = 0x0000;
inline constexpr uint16_t kSpeedChangeEnable = 0x0001;
inline constexpr uint16_t kOneWireSpeed = 0x0002;
inline constexpr uint16_t kStrongPullupDuration = 0x0003;
inline constexpr uint16_t kPulldownSlewRate = 0x0004;
inline constexpr uint16_t kProgrammingPulseDuration = 0x0005;
inline constexpr uint16_t kWrite1LowTime = 0x0006;
inline constexpr uint16_t kSampleOffset = 0x0007;

inline constexpr uint16_t kEnableStrongPullup = 0x02;  // SPUE in PULSE_EN
inline constexpr uint16_t kRegularSpeed = 0x00;
// A strong pull-up of duration code 0 lasts until the host ends it.
inline constexpr uint16_t kInfiniteDuration = 0x00;
}  // namespace mode

// Communication commands: the command code in wValue with its embedded bits.
namespace comm {
inline constexpr uint16_t kBitIo = 0x0020;
inline constexpr uint16_t kPulse = 0x0030;
inline constexpr uint16_t kOneWireReset = 0x0042;
inline constexpr uint16_t kByteIo = 0x0052;
inline constexpr uint16_t kMatchAccess = 0x0064;
inline constexpr uint16_t kBlockIo = 0x0074;
inline constexpr uint16_t kSearchAccess = 0x00F4;

inline constexpr uint16_t kImmediate = 0x0001;     // IM: run now
inline constexpr uint16_t kBit3 = 0x0008;          // D (bit to write), SE (speed), SM (search only)
inline constexpr uint16_t kResetFirst = 0x0100;    // RST
inline constexpr uint16_t kNotLast = 0x0200;       // ICP
inline constexpr uint16_t kNotify = 0x0400;        // NTF: always post a result byte
inline constexpr uint16_t kFlushOnError = 0x0800;  // F
inline constexpr uint16_t kStrongPullup = 0x1000;  // SPU: pull-up after the last bit
inline constexpr uint16_t kReturnDiscrepancies = 0x4000;  // RTS (search)
}  // namespace comm

// The status packet read from EP1.
namespace status {
inline constexpr size_t kPacketSize = 32;
inline constexpr size_t kEnableFlags = 0x00;
inline constexpr size_t kSpeed = 0x01;
inline constexpr size_t kPullupDuration = 0x02;
inline constexpr size_t kDeviceFlags = 0x08;
inline constexpr size_t kCommandFifo = 0x0B;
inline constexpr size_t kDataOutCount = 0x0C;
inline constexpr size_t kDataInCount = 0x0D;
inline constexpr size_t kResultsAt = 0x10;
inline constexpr size_t kMinimumPacket = kResultsAt;

inline constexpr uint8_t kPullupActive = 0x01;  // SPUA
inline constexpr uint8_t kHalted = 0x10;
inline constexpr uint8_t kIdle = 0x20;
inline constexpr uint8_t kEp0Overflow = 0x80;  // EP0F
}  // namespace status

// Result bytes that follow the status packet's first 16 bytes.
namespace result {
inline constexpr uint8_t kDeviceDetected = 0xA5;  // a new device on the bus, not an error
inline constexpr uint8_t kNoPresence = 0x01;      // NRS
inline constexpr uint8_t kShort = 0x02;           // SH
inline constexpr uint8_t kAlarmingPresence = 0x04;
inline constexpr uint8_t kCompareFailed = 0x10;
inline constexpr uint8_t kCrcError = 0x20;
inline constexpr uint8_t kEndOfSearch = 0x80;  // EOS
}  // namespace result

}  // namespace velgrin::ds2490
