#include "passive_model/passive_line.h"

#include <algorithm>
#include <array>

namespace velgrin::passive {

namespace {

constexpr double kResetLowUs = 480;
constexpr double kReadSlotLowUs = 15;
// How long a device answering 0 holds a read slot low, from the slot's falling edge.
constexpr double kZeroHoldUs = 30;
// The presence pulse, from the end of the reset pulse.
constexpr double kPresenceFromUs = 30;
constexpr double kPresenceToUs = 150;

}  // namespace

double CharacterUs(const UartFormat& format) {
    return (format.dataBits + 2) * 1e6 / format.baud;
}

uint8_t PassiveLine::receive(uint8_t byte, const UartFormat& format) {
    const int dataBits = std::clamp(format.dataBits, 5, 8);
    const double bitUs = 1e6 / format.baud;
    // Levels of the start bit, the data bits and the stop bit as TX drives them; the echo starts
    // as TX and the bus can only pull it lower.
    std::array<bool, 10> tx{};
    for (int bit = 0; bit < dataBits; ++bit) {
        tx[static_cast<size_t>(bit + 1)] = ((byte >> bit) & 1) != 0;
    }
    tx[static_cast<size_t>(dataBits + 1)] = true;
    std::array<bool, 10> line = tx;
    auto pullLow = [&](double fromUs, double toUs) {
        for (int bit = 1; bit <= dataBits; ++bit) {
            const double sampleUs = (bit + 0.5) * bitUs;
            if (sampleUs >= fromUs && sampleUs < toUs) {
                line[static_cast<size_t>(bit)] = false;
            }
        }
    };

    sim::SimBus& bus = bench_.bus();
    const int last = dataBits + 1;
    for (int start = 0; start < last;) {
        if (tx[static_cast<size_t>(start)]) {
            ++start;
            continue;
        }
        int end = start;
        while (!tx[static_cast<size_t>(end)]) {
            ++end;
        }
        const double lowUs = (end - start) * bitUs;
        const double releaseUs = end * bitUs;
        if (lowUs >= kResetLowUs) {
            if (bus.reset() == ResetOutcome::Presence) {
                pullLow(releaseUs + kPresenceFromUs, releaseUs + kPresenceToUs);
            }
        } else if (lowUs < kReadSlotLowUs) {
            if (!bus.slot(true)) {
                pullLow(start * bitUs, start * bitUs + kZeroHoldUs);
            }
        } else {
            (void)bus.slot(false);  // a written 0 reads 0 whatever the devices do
        }
        start = end;
    }
    if (bus.shorted()) {
        return 0;
    }
    uint8_t echo = 0;
    for (int bit = 0; bit < dataBits; ++bit) {
        echo |= static_cast<uint8_t>((line[static_cast<size_t>(bit + 1)] ? 1u : 0u) << bit);
    }
    return echo;
}

}  // namespace velgrin::passive
