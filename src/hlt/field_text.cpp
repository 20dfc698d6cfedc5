#include "hlt/field_text.h"

#include <cmath>

#include "common/number_text.h"
#include "common/rounding.h"

namespace velgrin {

std::string FieldText(const HLTConfig& block, HltField field) {
    return FormatNumber(static_cast<double>(block.get(field)) / FieldScale(field));
}

std::optional<double> ReadValueInRange(std::string_view text, double low, double high) {
    const auto value = ParseNumber(text);
    if (!value || !(*value >= low && *value <= high)) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> EncodeField(HltField field, double value) {
    const double scaled = value * FieldScale(field);
    // Far outside every field; keeps the rounding's integer conversion defined.
    if (!std::isfinite(scaled) || std::fabs(scaled) > 1e9) {
        return std::nullopt;
    }
    const int64_t stored = RoundHalfEven(scaled);
    if (!FitsField(field, stored)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(stored);
}

}  // namespace velgrin
