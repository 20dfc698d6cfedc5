#pragma once

#include <cmath>
#include <cstdint>

namespace velgrin {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline int64_t RoundHalfEven(double value) {
    const double whole = std::floor(value);
    const double fraction = value - whole;
    auto result = static_cast<int64_t>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && (result % 2 != 0))) {
        ++result;
    }
    return result;
}

}  // namespace velgrin
