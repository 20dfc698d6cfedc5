#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "common/result.h"

namespace velgrin {

// Why a JSON text a user gave was refused: where ("line:column", empty when unknown) and what.
struct JsonRefusal {
    std::string where;
    std::string problem;

    // "origin:line:column: problem", or "origin: problem" without a place.
    std::string describe(const std::string& origin) const;
};

// Parses a whole JSON text from a user: a duplicate key (of which the last would silently win),
// anything after the value (a NUL byte included) and a number beyond a double are refused, and no
// exception leaves.
Result<nlohmann::json, JsonRefusal> ParseStrictJson(std::string_view text);

}  // namespace velgrin
