#pragma once

#include <cstdint>

namespace velgrin::sim {

// A physical input of a simulated device (temperature, voltage): a constant, or a slow swing
// base + amplitude * sin(2π t / period) so that a bench looks alive. t counts from `originUs` on
// the bench clock and is read when the device converts.
struct SimValue {
    double base = 0;
    double amplitude = 0;
    uint64_t periodUs = 0;  // 0: constant
    uint64_t originUs = 0;

    static SimValue Constant(double value) { return {value}; }

    double at(uint64_t nowUs) const;
};

}  // namespace velgrin::sim
