// The search pass of the passive link: each step's direction depends on the two bits just read,
// so a step costs one round trip, which carries the previous step's direction slot and this
// step's two read slots. The command byte goes with the first step's reads.

#include <array>

#include "wire/ds9097/passive_link.h"
#include "wire/network.h"

namespace velgrin::ds9097 {

namespace {

constexpr int kRomBits = 64;

bool Bit(const RomCode& rom, int index) {
    return ((rom[static_cast<size_t>(index / 8)] >> (index % 8)) & 1) != 0;
}

void SetBit(RomCode& rom, int index, bool value) {
    if (value) {
        rom[static_cast<size_t>(index / 8)] |= static_cast<uint8_t>(1u << (index % 8));
    }
}

}  // namespace

WireResult<SearchPass> PassiveSerialLink::acceleratedPass(const RomCode& directions,
                                                          bool alarmOnly) {
    if (auto rate = useFormat(kSlotBaud, kSlotDataBits); !rate) {
        return rate.error();
    }
    const uint8_t command = alarmOnly ? rom_command::kAlarmSearch : rom_command::kSearchRom;
    SearchPass pass;
    // Up to 8 slots of the command byte, or one direction slot, then the two read slots.
    std::array<uint8_t, 10> line{};
    std::array<uint8_t, 10> sent{};
    size_t length = 0;
    for (int bit = 0; bit < 8; ++bit) {
        sent[length++] = ((command >> bit) & 1) != 0 ? kWriteOne : kWriteZero;
    }
    for (int k = 0; k <= kRomBits; ++k) {
        const bool last = k == kRomBits;
        if (!last) {
            sent[length++] = kWriteOne;
            sent[length++] = kWriteOne;
        }
        std::copy(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(length), line.begin());
        if (auto done = exchange(std::span(line.data(), length)); !done) {
            return done.error();
        }
        std::array<bool, 10> read{};
        for (size_t i = 0; i < length; ++i) {
            const auto value = SlotEcho(sent[i], line[i], echoMask_);
            if (!value) {
                return garbled("a search slot", line[i]);
            }
            read[i] = *value;
        }
        if (last) {
            break;
        }
        const bool id = read[length - 2];
        const bool complement = read[length - 1];
        if (id && complement) {
            // Nobody answered: the rest of the path reads as 1s and the caller's CRC check
            // rejects it; no more slots are worth their time.
            for (int rest = k; rest < kRomBits; ++rest) {
                SetBit(pass.path, rest, true);
                SetBit(pass.discrepancies, rest, true);
            }
            return pass;
        }
        bool path = id;
        if (id == complement) {
            SetBit(pass.discrepancies, k, true);
            path = Bit(directions, k);
        }
        SetBit(pass.path, k, path);
        length = 0;
        sent[length++] = path ? kWriteOne : kWriteZero;
    }
    return pass;
}

}  // namespace velgrin::ds9097
