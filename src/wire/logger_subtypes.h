#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace velgrin {

// The name a subtype probe gives a logger whose identification it does not know.
inline constexpr std::string_view kUnknownDeviceName = "Неизвестное устройство";

// A DS1921's variant, coded in its ROM: byte 6 x 16 + the high nibble of byte 5.
struct Ds1921Subtype {
    int code = 0;
    std::string_view name;
};

// Family 0x41 parts tell themselves apart by their configuration byte at 0x0226.
namespace ds1922_config {
inline constexpr uint8_t kDs2422 = 0x00;
inline constexpr uint8_t kDs1923 = 0x20;
inline constexpr uint8_t kDs1922L = 0x40;
inline constexpr uint8_t kDs1922T = 0x60;
inline constexpr uint8_t kDs1922E = 0x80;
}  // namespace ds1922_config

struct Ds1922Subtype {
    uint8_t configByte = 0;
    std::string_view part;  // "DS1922T"
    std::string_view name;  // what the window and the number log call it
};

// Every family 0x41 part; the simulated bench makes its models from it.
std::span<const Ds1922Subtype> Ds1922Subtypes();

// Null for a configuration byte no known part has.
const Ds1922Subtype* FindDs1922Subtype(uint8_t configByte);

// Name by identification; kUnknownDeviceName for one the tables do not hold.
std::string_view Ds1921SubtypeName(int code);
std::string_view Ds1922SubtypeName(uint8_t configByte);

}  // namespace velgrin
