#pragma once

#include <cstdint>

namespace velgrin {

// The driver's port types. 1 to 6 are the vendor's: the settings tab's adapter list offers them
// as item index + 1 ("DS9097E", "Parallel", two unused, "DS90907U", "USB"). From 64 on they are
// the program's own, for adapters the vendor's driver never knew; no item of that list leads there.
inline constexpr int16_t kDs9097PortType = 1;      // passive serial adapters
inline constexpr int16_t kDs2480bPortType = 5;     // DS9097U-type serial adapters
inline constexpr int16_t kUsbPortType = 6;         // DS2490 USB adapters
inline constexpr int16_t kSimulatedPortType = 64;  // the built-in simulated bench
inline constexpr int16_t kI2cPortType = 65;        // DS2482 I2C bus masters
inline constexpr int16_t kKernelW1PortType = 66;   // the kernel's w1 masters over netlink

}  // namespace velgrin
