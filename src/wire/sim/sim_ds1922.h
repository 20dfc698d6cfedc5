#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "wire/logger_subtypes.h"
#include "wire/sim/sim_device.h"

namespace velgrin::sim {

namespace ds1922_command {
inline constexpr uint8_t kReadMemoryWithCrc = 0x69;
}  // namespace ds1922_command

namespace ds1922_address {
inline constexpr uint16_t kDeviceConfig = 0x0226;
inline constexpr uint16_t kPasswordControl = 0x0227;
inline constexpr uint16_t kReadPassword = 0x0228;
inline constexpr uint16_t kFullPassword = 0x0230;
inline constexpr uint16_t kLogStart = 0x1000;
inline constexpr uint16_t kEnd = 0x2000;  // one past the last byte
}  // namespace ds1922_address

// Password control value that turns password checking on.
inline constexpr uint8_t kDs1922PasswordsEnabled = 0xAA;

// DS1922L/T/E, DS1923 and DS2422 (family 0x41; the configuration byte names the part): 8 KB of
// memory in 32-byte pages (general purpose memory, the registers at 0x0200, the log from
// 0x1000), read with Read Memory with CRC (0x69): address, eight password bytes, then data to
// the end of the page and the inverted CRC16, page after page. Mission control and memory writes
// are not simulated.
class Ds1922Device final : public SimDevice {
  public:
    Ds1922Device(RomCode rom, uint8_t configByte);
    std::string model() const override;

    uint8_t configByte() const { return memory_[ds1922_address::kDeviceConfig]; }
    void setConfigByte(uint8_t value) { memory_[ds1922_address::kDeviceConfig] = value; }

    // Memory as stored (passwords included, which the bus never shows).
    uint8_t memory(uint16_t address) const { return memory_.at(address); }
    void setMemory(uint16_t address, std::span<const uint8_t> bytes);

    // Passwords: with checking on, a read whose password matches neither is answered by silence.
    void setPasswords(const std::array<uint8_t, 8>& readPassword,
                      const std::array<uint8_t, 8>& fullPassword, bool enabled);

  private:
    enum class Step { Command, Address, Password, Streaming };

    void onSelected(uint64_t nowUs) override;
    void onFunctionByte(uint8_t byte, uint64_t nowUs) override;
    void onSendDrained(uint64_t nowUs) override;

    bool passwordAccepted() const;
    // What a read shows of a byte: passwords are hidden.
    uint8_t visible(uint16_t address) const;
    // Data from the address to the end of its page, then the inverted CRC16 of `prefix` + data.
    void sendPage(uint16_t from, std::span<const uint8_t> prefix);

    std::vector<uint8_t> memory_;
    Step step_ = Step::Command;
    std::array<uint8_t, 3> header_{};  // command and address, covered by the first CRC
    size_t headerBytes_ = 0;
    std::array<uint8_t, 8> password_{};
    size_t passwordBytes_ = 0;
    uint16_t nextPage_ = 0;
};

}  // namespace velgrin::sim
