#pragma once

#include <string>
#include <string_view>

#include "common/result.h"

namespace velgrin {

namespace threshold_text {
inline constexpr const char* kInvalid = "Неверные параметры температурных порогов !!!";
inline constexpr const char* kTooHigh = "Слишком большое значение!";
inline constexpr const char* kTooLow = "Слишком маленькое значение!";
}  // namespace threshold_text

// The range a DS18x20 alarm register can compare against, bounds included.
inline constexpr double kHighestThreshold = 125;
inline constexpr double kLowestThreshold = -55;

struct Thresholds {
    double upper = 0;
    double lower = 0;
};

// Reads the two threshold boxes. On failure the error is the message to show. The order of the
// two values is not checked: an upper value below the lower one is written as typed.
Result<Thresholds, std::string> ParseThresholds(std::string_view upperText,
                                                std::string_view lowerText);

}  // namespace velgrin
