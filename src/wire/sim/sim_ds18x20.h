#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "wire/sim/sim_device.h"
#include "wire/sim/sim_value.h"

namespace velgrin::sim {

namespace ds18x20_command {
inline constexpr uint8_t kConvertT = 0x44;
inline constexpr uint8_t kWriteScratchpad = 0x4E;
inline constexpr uint8_t kReadScratchpad = 0xBE;
inline constexpr uint8_t kCopyScratchpad = 0x48;
inline constexpr uint8_t kRecallE2 = 0xB8;
inline constexpr uint8_t kReadPowerSupply = 0xB4;
}  // namespace ds18x20_command

// Copy Scratchpad writes the EEPROM in at most this long.
inline constexpr uint64_t kDs18x20CopyUs = 10'000;

// What the DS18B20, DS1822 and DS18S20 share: the scratchpad with its CRC, the user bytes (TH, TL
// and, on the DS18B20, the configuration) mirrored in EEPROM, conversions and copies that take
// time, parasite power and the alarm flag.
//
// Work in progress (a conversion, a copy) is finished at the next bus event after its time is up,
// so the accessors show the device as of the last thing the master did.
class Ds18x20Device : public SimDevice {
  public:
    using Scratchpad = std::array<uint8_t, 9>;

    void setTemperature(SimValue celsius) { temperature_ = celsius; }
    const SimValue& temperature() const { return temperature_; }

    // A parasite-powered part takes its power from the data line: it converts and copies only
    // while the master holds the strong pull-up, and it cannot signal busy.
    void setParasite(bool on) { parasite_ = on; }
    bool parasite() const { return parasite_; }

    // Fault: a conversion that never ends (read slots stay 0, no new value).
    void setConversionStuck(bool on) { stuck_ = on; }
    bool conversionStuck() const { return stuck_; }

    // The nine bytes Read Scratchpad sends, byte 8 being the CRC8 of the others.
    Scratchpad scratchpad() const;
    // The user bytes as the EEPROM holds them: TH, TL and (DS18B20) the configuration.
    std::span<const uint8_t> eeprom() const { return {eeprom_.data(), userBytes_}; }
    // Thresholds as the part was left programmed: in EEPROM and in the scratchpad.
    void setAlarmThresholds(int8_t th, int8_t tl);
    // Power off and on: the power-on register, the user bytes from EEPROM, work lost.
    void powerCycle();

    bool alarmFlag(uint64_t nowUs) const override;

    // How long a conversion started now would take.
    virtual uint64_t conversionUs() const = 0;

  protected:
    Ds18x20Device(RomCode rom, size_t userBytes);

    // Writes a reading in °C into the temperature bytes (and whatever else a conversion sets).
    virtual void storeReading(double celsius) = 0;
    // The power-on value of the temperature bytes and of the fixed bytes.
    virtual void loadPowerOnRegister() = 0;
    // What the part keeps of a byte written into user byte `index` (0 TH, 1 TL, 2 config).
    virtual uint8_t keepUserByte(size_t index, uint8_t byte) const {
        (void)index;
        return byte;
    }
    // The reading in whole degrees as the alarm compares it with TH and TL.
    virtual int alarmDegrees() const = 0;

    // Bytes 0..7 of the scratchpad; the CRC is computed when they are sent.
    std::array<uint8_t, 8> pad_{};
    std::array<uint8_t, 3> eeprom_{0x4B, 0x46, 0x7F};

  private:
    enum class Work { None, Converting, Copying };

    void onSelected(uint64_t nowUs) override;
    void onFunctionByte(uint8_t byte, uint64_t nowUs) override;
    void onReset(uint64_t nowUs) override;
    void onStrongPullup(bool on, uint64_t nowUs) override;
    // After the CRC the part has nothing more to say until a reset.
    void onSendDrained(uint64_t) override { goIdle(); }

    void start(Work work, uint64_t nowUs);
    // Finishes or drops work according to the time and the power it got.
    void settle(uint64_t nowUs);
    void finish(uint64_t doneUs);
    bool busy(uint64_t nowUs) const;

    size_t userBytes_;
    SimValue temperature_ = SimValue::Constant(25);
    bool parasite_ = false;
    bool stuck_ = false;
    bool alarm_ = false;

    Work work_ = Work::None;
    uint64_t workStartUs_ = 0;
    uint64_t workUs_ = 0;
    uint64_t slotsAtStart_ = 0;
    bool pulledUp_ = false;  // parasite: the strong pull-up came before any other slot
    int writeIndex_ = -1;    // next user byte of a Write Scratchpad, -1 when none is running
};

}  // namespace velgrin::sim
