#include "thermo/thermometer_set.h"

#include <algorithm>

#include "common/crc.h"
#include "thermo/scratchpad.h"
#include "thermo/thermometers.h"

namespace velgrin {

namespace {

bool Succeeded(const WireResult<bool>& result) {
    return result && *result;
}

}  // namespace

std::vector<ThermometerOutcome> ThermometerSet::measure(const std::vector<RomCode>& roms,
                                                        bool busHoldsOnlyThese) {
    std::vector<Target> targets;
    for (const RomCode& rom : roms) {
        targets.push_back(Target{rom});
    }
    if (busHoldsOnlyThese && !targets.empty()) {
        convertTogether(targets);
    } else {
        convertInTurn(targets);
    }
    std::vector<ThermometerOutcome> outcomes;
    for (const Target& target : targets) {
        ThermometerOutcome outcome{target.rom};
        if (target.present) {
            waitUntilDone(target);
            readOut(target, outcome);
        }
        outcomes.push_back(settle(outcome));
    }
    return outcomes;
}

// Skip ROM reaches every device, and the search just before found none but these. Read slots
// then read 1 only once every one of them has finished (wired-AND), whatever its resolution.
void ThermometerSet::convertTogether(std::vector<Target>& targets) {
    if (!skipRom() || !SendCommand(bus_, ds18x20_command::kReadPowerSupply)) {
        return;
    }
    const auto powered = ReadSlot(bus_);
    if (!powered || !skipRom()) {
        return;
    }
    bool converted = false;
    // Without a pull-up none counts as converted: the powered ones are then measured alone, and
    // the parasite ones find the adapter's limit there.
    bool lacksPullup = false;
    if (!*powered) {
        converted = convertUnderPullup(lacksPullup);
    } else if (SendCommand(bus_, ds18x20_command::kConvertT)) {
        converted = pollUntilDone();
    }
    for (Target& target : targets) {
        target.converted = converted;
    }
}

// Other devices are on the bus: each thermometer is matched and started on its own. Every
// externally powered one converts by itself once started, so they go first, back to back; a
// parasite-powered one needs the pull-up from its command to the end of its conversion, so each
// of them gets its own, with nothing else on the bus, while the others convert alongside.
void ThermometerSet::convertInTurn(std::vector<Target>& targets) {
    for (Target& target : targets) {
        target.present = readPowerSupply(target);
    }
    for (Target& target : targets) {
        if (!target.present || target.parasite || !Succeeded(network_.access(target.rom)) ||
            !SendCommand(bus_, ds18x20_command::kConvertT)) {
            continue;
        }
        target.startTick = host_.tickCount();
        target.waiting = true;
        // A device that has started answers its read slots with 0 until it is done.
        const auto bit = ReadSlot(bus_);
        target.converted = bit && !*bit;
    }
    for (Target& target : targets) {
        if (target.present && target.parasite && Succeeded(network_.access(target.rom))) {
            target.converted = convertUnderPullup(target.lacksPullup);
        }
    }
}

// The resolution is not known before the read, so an externally powered one started by Match ROM
// gets the longest conversion time from its own start. Reading each as soon as its time is up
// lets the reads of the first ones overlap the waits of the last ones.
void ThermometerSet::waitUntilDone(const Target& target) {
    if (!target.waiting) {
        return;
    }
    const uint32_t elapsed = host_.tickCount() - target.startTick;
    if (elapsed < kLongestConversionMs) {
        host_.sleep(kLongestConversionMs - elapsed);
    }
}

bool ThermometerSet::readPowerSupply(Target& target) {
    // A step the adapter failed is run again; a missing device answers the reset with presence
    // of others, so it is found out by its read.
    return retries_.run(host_, [&] {
        if (!Succeeded(network_.access(target.rom)) ||
            !SendCommand(bus_, ds18x20_command::kReadPowerSupply)) {
            return Attempt::Repeatable;
        }
        // A parasite-powered device pulls the slot low.
        const auto bit = ReadSlot(bus_);
        target.parasite = bit && !*bit;
        return DoneOr(bit.ok());
    }) == Attempt::Done;
}

bool ThermometerSet::convertUnderPullup(bool& lacksPullup) {
    const auto converted = ConvertUnderPullup(
        bus_, std::chrono::milliseconds(kLongestConversionMs),
        [this](std::chrono::milliseconds ms) { host_.sleep(static_cast<uint32_t>(ms.count())); });
    lacksPullup = !converted && converted.error().code == WireErrorCode::Unsupported;
    return converted.ok();
}

bool ThermometerSet::pollUntilDone() {
    const uint32_t start = host_.tickCount();
    bool sawBusy = false;
    for (;;) {
        const uint32_t sentAt = host_.tickCount() - start;
        const auto bit = ReadSlot(bus_);
        if (!bit) {
            // A slot the adapter garbled cuts the sequence, but not a conversion that was seen
            // running: it ends within the longest conversion time by itself.
            const uint32_t elapsed = host_.tickCount() - start;
            if (sawBusy && elapsed < kLongestConversionMs) {
                host_.sleep(kLongestConversionMs - elapsed);
            }
            return sawBusy;
        }
        if (*bit) {
            return sawBusy;
        }
        sawBusy = true;
        // A slot read busy tells how the device was when the slot went out; a busy machine may
        // hand its reply over much later. Only a slot sent after the longest conversion time
        // that still reads busy shows a device that did not convert.
        if (sentAt > kLongestConversionMs) {
            return false;
        }
        // Few slots rather than many: each reply is one more for a noisy line to garble.
        host_.sleep(kBusyPollIntervalMs);
    }
}

bool ThermometerSet::skipRom() {
    const auto presence = network_.link().reset();
    return presence && *presence == ResetOutcome::Presence &&
           network_.link().touchByte(rom_command::kSkipRom);
}

// Matched by its ROM code, so that only this device answers; nine bytes whose CRC checks, and
// not a line held low (nine zero bytes pass the CRC).
// Matched by its ROM code, so that only this device answers.
void ThermometerSet::readOut(const Target& target, ThermometerOutcome& outcome) {
    outcome.state = ThermometerOutcome::State::NoIntactReply;
    if (target.lacksPullup) {
        outcome.state = ThermometerOutcome::State::AdapterLimit;
        return;
    }
    std::array<uint8_t, 9> bytes{};
    // A read that fails its CRC is read again: the conversion result stays in the device.
    const Attempt read = retries_.run(host_, [&] {
        if (!Succeeded(network_.access(target.rom))) {
            return Attempt::Repeatable;
        }
        const auto intact = ReadScratchpad(bus_);
        if (intact) {
            bytes = *intact;
        }
        return DoneOr(intact.ok());
    });
    if (read != Attempt::Done) {
        return;
    }
    outcome.scratchpad = bytes;
    if (target.converted) {
        outcome.state = ThermometerOutcome::State::Measured;
    } else if (HoldsPowerOnValue(target.rom[0], bytes)) {
        outcome.state = ThermometerOutcome::State::PowerOnValue;
    } else {
        outcome.state = ThermometerOutcome::State::NotConverted;
    }
}

ThermometerOutcome ThermometerSet::measureAlone(const RomCode& rom) {
    Target target{rom};
    ThermometerOutcome outcome{rom};
    if (!readPowerSupply(target) || !Succeeded(network_.access(rom))) {
        return outcome;
    }
    if (target.parasite) {
        target.converted = convertUnderPullup(target.lacksPullup);
    } else if (SendCommand(bus_, ds18x20_command::kConvertT)) {
        target.converted = pollUntilDone();
    }
    readOut(target, outcome);
    return outcome;
}

// The power-on value reads exactly like a real 85 degrees, and a device that browned out after
// its conversion holds it again; only a conversion seen complete right before the read tells
// them apart.
ThermometerOutcome ThermometerSet::settle(const ThermometerOutcome& first) {
    const bool doubtful = first.state != ThermometerOutcome::State::Measured ||
                          HoldsPowerOnValue(first.rom[0], first.scratchpad);
    if (!doubtful || first.state == ThermometerOutcome::State::AdapterLimit) {
        return first;
    }
    ThermometerOutcome outcome = first;
    // The outcome of the last attempt is the answer, settled or not.
    (void)retries_.run(host_, [&] {
        outcome = measureAlone(first.rom);
        if (outcome.state == ThermometerOutcome::State::AdapterLimit) {
            return Attempt::Final;
        }
        return DoneOr(outcome.state == ThermometerOutcome::State::Measured);
    });
    return outcome;
}

}  // namespace velgrin
