#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velgrin {

// The multisensor's configuration block: 32 bytes in the user EEPROM pages 3 to 6 of its DS2438.
// The device works from it byte for byte, so the layout is a contract with the firmware.
inline constexpr std::size_t kHltBlockSize = 32;
// The block plus the ninth (CRC) byte of the page-6 read.
inline constexpr std::size_t kHltBufSize = 33;
inline constexpr int16_t kHltFirstPage = 3;
inline constexpr int16_t kHltLastPage = 6;
inline constexpr std::size_t kHltPageSize = 8;

using HltBlock = std::array<uint8_t, kHltBlockSize>;

enum class FieldType : uint8_t { U8, I8, I16, U16 };

// Where a field lies in the block and how it is stored (16-bit fields little-endian).
struct HltField {
    uint8_t offset;
    FieldType type;
};

namespace hlt_field {
inline constexpr HltField SensorTypes{0, FieldType::U8};
inline constexpr HltField S0min{1, FieldType::I16};
inline constexpr HltField S0Max{3, FieldType::I16};
inline constexpr HltField ConfigMark{5, FieldType::U8};
inline constexpr HltField S0minVoltage{6, FieldType::U16};
inline constexpr HltField S0MaxVoltage{8, FieldType::U16};
inline constexpr HltField S1min{10, FieldType::I16};
inline constexpr HltField S1Max{12, FieldType::I16};
inline constexpr HltField S1minVoltage{14, FieldType::U16};
inline constexpr HltField S1MaxVoltage{16, FieldType::U16};
inline constexpr HltField S0UpValue{18, FieldType::I16};
inline constexpr HltField S0DownValue{20, FieldType::I16};
inline constexpr HltField S1UpValue{22, FieldType::I16};
inline constexpr HltField S1DownValue{24, FieldType::I16};
inline constexpr HltField Tdis{26, FieldType::I8};
inline constexpr HltField TupLimit{27, FieldType::I16};
inline constexpr HltField TdownLimit{29, FieldType::I16};
inline constexpr HltField Crc{31, FieldType::U8};
}  // namespace hlt_field

// Written into ConfigMark on every seal.
inline constexpr uint8_t kHltConfigMark = 105;
// Tdis value telling the device not to show the temperature.
inline constexpr int kTdisNotShown = 127;

// The six scaling and threshold fields of one sensor channel.
struct HltChannelFields {
    HltField min, max, minVoltage, maxVoltage, upValue, downValue;
};

inline constexpr std::array<HltChannelFields, 2> kHltChannelFields{{
    {hlt_field::S0min, hlt_field::S0Max, hlt_field::S0minVoltage, hlt_field::S0MaxVoltage,
     hlt_field::S0UpValue, hlt_field::S0DownValue},
    {hlt_field::S1min, hlt_field::S1Max, hlt_field::S1minVoltage, hlt_field::S1MaxVoltage,
     hlt_field::S1UpValue, hlt_field::S1DownValue},
}};

// The block seen as its record: reads and writes the fields in place in the bytes it views.
class HLTConfig {
  public:
    explicit HLTConfig(std::span<uint8_t, kHltBlockSize> bytes) : bytes_(bytes) {}

    // The field's value, sign-extended for the signed types.
    int32_t get(HltField field) const;
    // The caller keeps the value within the field's type; nothing is silently cut.
    void set(HltField field, int32_t value);

    std::span<uint8_t, kHltBlockSize> bytes() const { return bytes_; }
    // The 8 bytes of EEPROM page 3..6.
    std::span<uint8_t, kHltPageSize> page(int16_t page) const;

  private:
    std::span<uint8_t, kHltBlockSize> bytes_;
};

// True when `value` fits the field's storage type.
bool FitsField(HltField field, int64_t value);

// Stored value per unit: tenths for values and thresholds, ten-thousandths of a volt for
// voltages, hundredths of a degree for the offset; 1 for the plain bytes.
int FieldScale(HltField field);

}  // namespace velgrin
