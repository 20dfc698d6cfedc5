// One Search ROM pass through the chip's search access command: checking that one device is there,
// and the alarm search.

#include "wire/ds2490/ds2490_link.h"
#include "wire/network.h"

namespace velgrin::ds2490 {

namespace {

// One ROM code per command; the chip then returns the code and, when devices disagreed
// anywhere, the map of those bits.
constexpr uint16_t kOneDevice = 0x0100;

}  // namespace

WireResult<SearchPass> Ds2490Link::acceleratedPass(const RomCode& directions, bool alarmOnly) {
    // The chip resets the bus itself, then takes the start code's bit at every disagreement.
    if (auto written = usb_->bulkWrite(directions); !written) {
        return written.error();
    }
    const uint16_t value = comm::kSearchAccess | comm::kImmediate | comm::kBit3 |
                           comm::kResetFirst | comm::kFlushOnError | comm::kReturnDiscrepancies;
    const uint8_t command = alarmOnly ? rom_command::kAlarmSearch : rom_command::kSearchRom;
    if (auto sent = communicate(value, kOneDevice | command); !sent) {
        return sent.error();
    }
    auto done = waitFor(0, false);
    if (!done) {
        return done.error();
    }
    if (done->dataIn != 0 && done->dataIn != 8 && done->dataIn != 16) {
        return garbled("a search (" + std::to_string(done->dataIn) + " bytes)");
    }
    auto read = receive(done->dataIn);
    if (!read) {
        return read.error();
    }
    SearchPass pass;
    uint8_t outcome = 0;
    for (uint8_t r : done->results) {
        outcome |= r;
    }
    if (read->size() < 8 ||
        (outcome & (result::kNoPresence | result::kShort | result::kEndOfSearch)) != 0) {
        // The chip's "no presence" stands for a silent reset and for a path that broke off
        // alike: a reset of its own tells them apart. A broken path is a code of all ones,
        // which no CRC passes.
        auto presence = resetBus();
        if (!presence) {
            return presence.error();
        }
        pass.presence = *presence;
        pass.path.fill(0xFF);
        return pass;
    }
    std::copy(read->begin(), read->begin() + 8, pass.path.begin());
    if (read->size() == 16) {
        std::copy(read->begin() + 8, read->end(), pass.discrepancies.begin());
    }
    return pass;
}

}  // namespace velgrin::ds2490
