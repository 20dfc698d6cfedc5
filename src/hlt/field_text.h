#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "hlt/hlt_config.h"

namespace velgrin {

// A stored field in the units the dialog shows (-125 tenths -> "-12,5", 8260 -> "0,826").
std::string FieldText(const HLTConfig& block, HltField field);

// A typed value read with the dialog's number convention and checked against [low, high]; no
// value when the text is no number or lies outside.
std::optional<double> ReadValueInRange(std::string_view text, double low, double high);

// The stored form of a physical value: value x scale, halves to even. No value when the result
// does not fit the field.
std::optional<int32_t> EncodeField(HltField field, double value);

}  // namespace velgrin
