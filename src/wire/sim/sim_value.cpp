#include "wire/sim/sim_value.h"

#include <cmath>
#include <numbers>

namespace velgrin::sim {

double SimValue::at(uint64_t nowUs) const {
    if (periodUs == 0 || amplitude == 0) {
        return base;
    }
    const uint64_t sinceUs = nowUs >= originUs ? nowUs - originUs : 0;
    const double phase = static_cast<double>(sinceUs % periodUs) / static_cast<double>(periodUs);
    return base + amplitude * std::sin(2 * std::numbers::pi * phase);
}

}  // namespace velgrin::sim
