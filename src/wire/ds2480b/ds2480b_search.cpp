// One Search ROM pass through the adapter's search accelerator.

#include "wire/ds2480b/ds2480b_link.h"
#include "wire/network.h"

namespace velgrin::ds2480b {

namespace {

constexpr uint8_t kResetCommand = Communication(kReset, kFlexibleSpeed);
constexpr uint8_t kAcceleratorOn = Communication(kSearchControl, kFlexibleSpeed, true);
constexpr uint8_t kAcceleratorOff = Communication(kSearchControl, kFlexibleSpeed, false);

bool Bit(const RomCode& rom, int index) {
    return (rom[static_cast<size_t>(index / 8)] >> (index % 8)) & 1;
}

void SetBit(RomCode& rom, int index) {
    rom[static_cast<size_t>(index / 8)] |= static_cast<uint8_t>(1u << (index % 8));
}

}  // namespace

WireResult<SearchPass> Ds2480bLink::acceleratedPass(const RomCode& directions, bool alarmOnly) {
    // The caller reset the bus; a pass run again after a re-synchronisation brings its own.
    const bool withReset = sequenceCut();
    std::array<uint8_t, kSearchBytes> out{};
    for (int n = 0; n < 64; ++n) {
        if (Bit(directions, n)) {
            const int k = n % kRomBitsPerSearchByte;
            out[static_cast<size_t>(n / kRomBitsPerSearchByte)] |=
                static_cast<uint8_t>(1u << (2 * k + 1));
        }
    }
    const uint8_t searchCommand = alarmOnly ? rom_command::kAlarmSearch : rom_command::kSearchRom;
    Frame frame(mode_);
    if (withReset) {
        frame.command(kResetCommand, true);
    }
    frame.data(searchCommand);
    frame.command(kAcceleratorOn, false);
    for (uint8_t b : out) {
        frame.data(b);
    }
    frame.command(kAcceleratorOff, false);
    auto replies = run(frame);
    if (!replies) {
        return replies.error();
    }
    size_t at = 0;
    if (withReset) {
        const uint8_t reply = (*replies)[at++];
        if ((reply & kResetReplyMask) != kResetReplyMarker) {
            return garbled("a reset", reply);
        }
    }
    if (!PlausibleEcho(searchCommand, (*replies)[at])) {
        return garbled("the search command", (*replies)[at]);
    }
    ++at;
    SearchPass pass;
    bool failed = false;
    for (int n = 0; n < 64; ++n) {
        const uint8_t in = (*replies)[at + static_cast<size_t>(n / kRomBitsPerSearchByte)];
        const int k = n % kRomBitsPerSearchByte;
        const bool discrepancy = ((in >> (2 * k)) & 1) != 0;
        const bool taken = ((in >> (2 * k + 1)) & 1) != 0;
        // At a conflict the adapter takes the direction asked for; anything else flagged is the
        // failed search, after which every bit reads as a discrepancy taken as 1.
        if (discrepancy && taken != Bit(directions, n)) {
            failed = true;
        }
        if (failed && !(discrepancy && taken)) {
            return garbled("a search", in);
        }
        if (discrepancy) {
            SetBit(pass.discrepancies, n);
        }
        if (taken) {
            SetBit(pass.path, n);
        }
    }
    return pass;
}

}  // namespace velgrin::ds2480b
