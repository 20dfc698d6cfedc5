#include "thermo/threshold_input.h"

#include "common/number_text.h"

namespace velgrin {

Result<Thresholds, std::string> ParseThresholds(std::string_view upperText,
                                                std::string_view lowerText) {
    const auto upper = ParseNumber(upperText);
    const auto lower = ParseNumber(lowerText);
    if (!upper || !lower) {
        return std::string(threshold_text::kInvalid);
    }
    if (*upper > kHighestThreshold || *lower > kHighestThreshold) {
        return std::string(threshold_text::kInvalid) + "\r\n" + threshold_text::kTooHigh;
    }
    if (*upper < kLowestThreshold || *lower < kLowestThreshold) {
        return std::string(threshold_text::kInvalid) + "\r\n" + threshold_text::kTooLow;
    }
    return Thresholds{*upper, *lower};
}

}  // namespace velgrin
