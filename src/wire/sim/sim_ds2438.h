#pragma once

#include <array>
#include <cstdint>

#include "wire/sim/sim_device.h"
#include "wire/sim/sim_value.h"

namespace velgrin::sim {

namespace ds2438_command {
inline constexpr uint8_t kConvertT = 0x44;
inline constexpr uint8_t kConvertV = 0xB4;
inline constexpr uint8_t kRecallMemory = 0xB8;
inline constexpr uint8_t kReadScratchpad = 0xBE;
inline constexpr uint8_t kWriteScratchpad = 0x4E;
inline constexpr uint8_t kCopyScratchpad = 0x48;
}  // namespace ds2438_command

// Page 0 byte 0.
namespace ds2438_status {
inline constexpr uint8_t kIad = 0x01;  // current A/D on: the current register follows its input
inline constexpr uint8_t kCa = 0x02;
inline constexpr uint8_t kEe = 0x04;
inline constexpr uint8_t kAd = 0x08;   // Convert V measures VDD (set) or VAD (clear)
inline constexpr uint8_t kTb = 0x10;   // temperature conversion running
inline constexpr uint8_t kNvb = 0x20;  // EEPROM write running
inline constexpr uint8_t kAdb = 0x40;  // voltage conversion running
inline constexpr uint8_t kConfigBits = 0x0F;
}  // namespace ds2438_status

inline constexpr uint64_t kDs2438ConversionUs = 10'000;
inline constexpr uint64_t kDs2438EepromWriteUs = 10'000;

// DS2438 battery monitor (family 0x26), the chip of the HLT multisensor: eight 8-byte pages, each
// with its own scratchpad; page 0 holds the status/configuration byte and the temperature,
// voltage and current registers; pages 3 to 7 are user EEPROM (the HLT keeps its configuration
// block in pages 3 to 6).
//
// Conversions finish at the next bus event after their time is up; the accessors show the device
// as of the last thing the master did.
class Ds2438Device final : public SimDevice {
  public:
    using Page = std::array<uint8_t, 8>;
    using ConfigBlock = std::array<uint8_t, 32>;
    static constexpr int kPages = 8;
    static constexpr int kFirstConfigPage = 3;

    explicit Ds2438Device(RomCode rom);
    std::string model() const override { return "DS2438"; }

    // Inputs, read when a conversion runs: °C, volts at VDD and VAD, volts across the current
    // sense input (about -0.25..+0.25).
    void setTemperature(SimValue celsius) { temperature_ = celsius; }
    void setVdd(SimValue volts) { vdd_ = volts; }
    void setVad(SimValue volts) { vad_ = volts; }
    void setCurrentInput(SimValue volts) { current_ = volts; }
    const SimValue& temperature() const { return temperature_; }
    const SimValue& vdd() const { return vdd_; }
    const SimValue& vad() const { return vad_; }
    const SimValue& currentInput() const { return current_; }

    // Fault: conversions never end (TB/ADB stay set, read slots stay 0).
    void setConversionStuck(bool on) { stuck_ = on; }
    bool conversionStuck() const { return stuck_; }

    // Page memory as a Recall would copy it now (page 0 without busy flags).
    Page page(int index) const;
    void setPage(int index, const Page& bytes);
    Page scratchpad(int index) const { return scratch_.at(static_cast<size_t>(index)); }

    // The 32 bytes of pages 3 to 6.
    ConfigBlock configBlock() const;
    void setConfigBlock(const ConfigBlock& block);

    // The configuration bits (IAD, CA, EE, AD) in force.
    uint8_t config() const { return memory_[0][0]; }

  private:
    enum class Step { Command, PageNumber, Writing };

    void onSelected(uint64_t nowUs) override;
    void onFunctionByte(uint8_t byte, uint64_t nowUs) override;
    void onReset(uint64_t nowUs) override;
    // After the CRC the part has nothing more to say until a reset.
    void onSendDrained(uint64_t) override { goIdle(); }

    void pageCommand(uint8_t page, uint64_t nowUs);
    void recall(size_t page, uint64_t nowUs);
    void copy(size_t page, uint64_t nowUs);
    void settle(uint64_t nowUs);
    bool temperatureBusy(uint64_t nowUs) const;
    bool voltageBusy(uint64_t nowUs) const;
    bool eepromBusy(uint64_t nowUs) const { return nowUs < eepromDoneUs_; }
    uint8_t statusByte(uint64_t nowUs) const;

    std::array<Page, kPages> memory_{};
    std::array<Page, kPages> scratch_{};
    SimValue temperature_ = SimValue::Constant(25);
    SimValue vdd_ = SimValue::Constant(5);
    SimValue vad_ = SimValue::Constant(0);
    SimValue current_ = SimValue::Constant(0);
    bool stuck_ = false;

    bool temperaturePending_ = false;
    uint64_t temperatureDoneUs_ = 0;
    bool voltagePending_ = false;
    bool voltageOfVdd_ = false;
    uint64_t voltageDoneUs_ = 0;
    uint64_t eepromDoneUs_ = 0;

    Step step_ = Step::Command;
    uint8_t command_ = 0;
    size_t page_ = 0;
    size_t writeIndex_ = 0;
};

}  // namespace velgrin::sim
