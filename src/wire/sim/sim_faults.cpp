#include "wire/sim/sim_faults.h"

#include "wire/sim/sim_ds18x20.h"
#include "wire/sim/sim_ds2438.h"

namespace velgrin::sim {

void CorruptReplyByte(SimDevice& device, int byteIndex, uint8_t mask) {
    device.corruptBit = [&device, byteIndex, mask] {
        const auto bit = device.outgoing();
        return bit.data && bit.byteIndex == byteIndex && ((mask >> bit.bit) & 1) != 0;
    };
}

void FlipNextReplyBit(SimDevice& device, int bit) {
    device.corruptBit = [&device, bit, done = false]() mutable {
        const auto out = device.outgoing();
        if (done || !out.data || out.bit != bit) {
            return false;
        }
        done = true;
        return true;
    };
}

void ClearBitFaults(SimDevice& device) {
    device.corruptBit = nullptr;
}

bool SetConversionStuck(SimDevice& device, bool on) {
    if (auto* thermometer = dynamic_cast<Ds18x20Device*>(&device)) {
        thermometer->setConversionStuck(on);
        return true;
    }
    if (auto* monitor = dynamic_cast<Ds2438Device*>(&device)) {
        monitor->setConversionStuck(on);
        return true;
    }
    return false;
}

}  // namespace velgrin::sim
