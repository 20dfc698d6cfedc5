#pragma once

#include <cstdint>
#include <optional>

// The DS2480B serial 1-Wire line driver's command set. Both the adapter link and the emulator
// speak it, so every code lives here once.
namespace velgrin::ds2480b {

// Every byte the host sends in command mode has bit 0 set; a configuration reply has it clear.
inline constexpr uint8_t kCommandMarker = 0x01;

// Communication commands: 1 f f b s s p 1.
inline constexpr uint8_t kCommunication = 0x80;
inline constexpr uint8_t kFunctionMask = 0x60;
inline constexpr uint8_t kSingleBit = 0x00;
inline constexpr uint8_t kSearchControl = 0x20;
inline constexpr uint8_t kReset = 0x40;
inline constexpr uint8_t kPulse = 0x60;
// b: the bit to write, accelerator on, or 12 V instead of 5 V.
inline constexpr uint8_t kBitValue = 0x10;
inline constexpr uint8_t kSpeedMask = 0x0C;
inline constexpr uint8_t kStandardSpeed = 0x00;
inline constexpr uint8_t kFlexibleSpeed = 0x04;
inline constexpr uint8_t kOverdriveSpeed = 0x08;
// The speed field of a pulse command proper (its other values are the mode switches).
inline constexpr uint8_t kPulseSpeed = 0x0C;
// p: strong pull-up after a single bit; on a pulse, arm the pull-up after every data byte.
inline constexpr uint8_t kPullupFlag = 0x02;

constexpr uint8_t Communication(uint8_t function, uint8_t speed, bool bit = false,
                                bool pullup = false) {
    return static_cast<uint8_t>(kCommunication | function | (bit ? kBitValue : 0) | speed |
                                (pullup ? kPullupFlag : 0) | kCommandMarker);
}

// Mode switches and the end of an infinite pulse. None of them is answered.
inline constexpr uint8_t kSwitchToDataMode = 0xE1;
inline constexpr uint8_t kSwitchToCommandMode = 0xE3;
inline constexpr uint8_t kPulseTermination = 0xF1;

// A bit command's reply echoes bits 7..2; bits 1..0 both carry the bit read.
inline constexpr uint8_t kEchoMask = 0xFC;
inline constexpr uint8_t kBitReadMask = 0x03;
// A pulse reply starts with 111; its low bits are not defined.
inline constexpr uint8_t kPulseReplyMask = 0xE0;
inline constexpr uint8_t kPulseReplyMarker = 0xE0;

// Reset reply: 1 1 v r r r p p.
inline constexpr uint8_t kResetReplyMask = 0xC0;
inline constexpr uint8_t kResetReplyMarker = 0xC0;
inline constexpr uint8_t kProgrammingVoltage = 0x20;
inline constexpr uint8_t kRevisionMask = 0x1C;
inline constexpr uint8_t kRevisionShift = 2;
inline constexpr uint8_t kDs2480bRevision = 3;
inline constexpr uint8_t kPresenceMask = 0x03;
inline constexpr uint8_t kBusShorted = 0x00;
inline constexpr uint8_t kPresence = 0x01;
inline constexpr uint8_t kAlarmingPresence = 0x02;
inline constexpr uint8_t kNoPresence = 0x03;

// Configuration commands: 0 c c c v v v 1 writes parameter ccc, 0 0 0 0 c c c 1 reads it. The
// reply to a write is the command with bit 0 clear; to a read, 0 0 0 0 v v v 0.
enum class Parameter : uint8_t {
    PullDownSlewRate = 1,
    ProgrammingPulseDuration = 2,
    StrongPullupDuration = 3,
    Write1LowTime = 4,
    SampleOffset = 5,
    LoadSensorThreshold = 6,
    BaudRate = 7,
};
inline constexpr int kParameterCount = 8;  // codes 1..7; 0 names none
inline constexpr uint8_t kParameterShift = 4;
inline constexpr uint8_t kValueShift = 1;
inline constexpr uint8_t kValueMask = 0x07;

constexpr uint8_t WriteParameter(Parameter parameter, uint8_t value) {
    return static_cast<uint8_t>((static_cast<uint8_t>(parameter) << kParameterShift) |
                                ((value & kValueMask) << kValueShift) | kCommandMarker);
}
constexpr uint8_t ReadParameter(Parameter parameter) {
    return static_cast<uint8_t>((static_cast<uint8_t>(parameter) << kValueShift) | kCommandMarker);
}
constexpr uint8_t WriteReply(uint8_t command) {
    return static_cast<uint8_t>(command & ~kCommandMarker);
}
constexpr uint8_t ReadReply(uint8_t value) {
    return static_cast<uint8_t>((value & kValueMask) << kValueShift);
}

// Parameter value codes that the link programs.
inline constexpr uint8_t kSlew1_37VPerUs = 3;
inline constexpr uint8_t kWrite1Low10Us = 2;
inline constexpr uint8_t kSampleOffset8Us = 5;
inline constexpr uint8_t kDurationInfinite = 7;

// Baud-rate codes (bit 2 of the code inverts the RXD/TXD polarity; never used here).
inline constexpr uint8_t kBaud9600 = 0;
inline constexpr uint8_t kBaud19200 = 1;
inline constexpr uint8_t kBaud57600 = 2;
inline constexpr uint8_t kBaud115200 = 3;
inline constexpr uint8_t kBaudRateMask = 0x03;
inline constexpr uint32_t kPowerUpBaud = 9600;

constexpr uint32_t BaudOfCode(uint8_t code) {
    switch (code & kBaudRateMask) {
        case kBaud19200:
            return 19200;
        case kBaud57600:
            return 57600;
        case kBaud115200:
            return 115200;
        default:
            return 9600;
    }
}

constexpr std::optional<uint8_t> CodeOfBaud(uint32_t baud) {
    switch (baud) {
        case 9600:
            return kBaud9600;
        case 19200:
            return kBaud19200;
        case 57600:
            return kBaud57600;
        case 115200:
            return kBaud115200;
        default:
            return std::nullopt;
    }
}

// Search accelerator: each data byte carries four ROM bits. On the way out bit 2k+1 is the
// direction wanted for ROM bit k; on the way back bit 2k flags a discrepancy and bit 2k+1 is the
// direction taken.
inline constexpr int kSearchBytes = 16;
inline constexpr int kRomBitsPerSearchByte = 4;
inline constexpr int kSlotsPerSearchBit = 3;

}  // namespace velgrin::ds2480b
