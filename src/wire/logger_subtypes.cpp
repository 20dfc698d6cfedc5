#include "wire/logger_subtypes.h"

#include <algorithm>
#include <array>

namespace velgrin {

namespace {

constexpr std::array kDs1921Subtypes{
    Ds1921Subtype{0, "DS1921L-F50 -40..+85(C)"},   Ds1921Subtype{100, "DS1921L-F50 -40..+85(C)"},
    Ds1921Subtype{348, "DS1921L-F53 -30..+85(C)"}, Ds1921Subtype{596, "DS1921L-F52 -20..+85(C)"},
    Ds1921Subtype{844, "DS1921L-F51 -10..+85(C)"}, Ds1921Subtype{946, "DS1921Z-F5 -5..+26(C)"},
    Ds1921Subtype{1266, "DS1921H-F5 +15..+46(C)"},
};

constexpr std::array kDs1922Subtypes{
    Ds1922Subtype{ds1922_config::kDs1922L, "DS1922L", "DS1922L - Термохрон"},
    Ds1922Subtype{ds1922_config::kDs1922T, "DS1922T", "DS1922T - Термохрон"},
    Ds1922Subtype{ds1922_config::kDs1922E, "DS1922E", "DS1922E - Термохрон"},
    Ds1922Subtype{ds1922_config::kDs1923, "DS1923", "DS1923 - Гигрохрон"},
    Ds1922Subtype{ds1922_config::kDs2422, "DS2422", "DS2422 - Термохрон"},
};

}  // namespace

std::span<const Ds1922Subtype> Ds1922Subtypes() {
    return kDs1922Subtypes;
}

std::string_view Ds1921SubtypeName(int code) {
    const auto* found = std::find_if(kDs1921Subtypes.begin(), kDs1921Subtypes.end(),
                                     [&](const auto& s) { return s.code == code; });
    return found == kDs1921Subtypes.end() ? kUnknownDeviceName : found->name;
}

const Ds1922Subtype* FindDs1922Subtype(uint8_t configByte) {
    const auto* found = std::find_if(kDs1922Subtypes.begin(), kDs1922Subtypes.end(),
                                     [&](const auto& s) { return s.configByte == configByte; });
    return found == kDs1922Subtypes.end() ? nullptr : found;
}

std::string_view Ds1922SubtypeName(uint8_t configByte) {
    const Ds1922Subtype* found = FindDs1922Subtype(configByte);
    return found == nullptr ? kUnknownDeviceName : found->name;
}

}  // namespace velgrin
