#include "thermo/thermometers.h"

#include <algorithm>

#include "common/crc.h"
#include "common/host.h"
#include "thermo/threshold_byte.h"
#include "wire/device_families.h"

namespace velgrin {

namespace {

bool InTable(int Indx) {
    return Indx >= 0 && Indx < kDeviceTableSize;
}

}  // namespace

// A zero family code would make the driver read its current ROM code instead of taking this
// one, and the sequence would then address whatever device that is.
bool Thermometers::MakeCurrent(int Indx) {
    auto rom = core_.Asens[static_cast<size_t>(Indx)].ROM;
    if (rom[0] == 0) {
        return false;
    }
    return core_.driver().TMRom(core_.SHandle, core_.StateBuf, rom) >= 1;
}

bool Thermometers::MakeCurrent(const RomCode& rom) {
    std::array<int16_t, 8> words{};
    std::copy(rom.begin(), rom.end(), words.begin());
    return rom[0] != 0 && core_.driver().TMRom(core_.SHandle, core_.StateBuf, words) >= 1;
}

// Busy wait on the tick counter with the session check on every pass; the GUI gets one turn
// before it.
void Thermometers::WaitOnTickCounter(uint32_t ms) {
    Host& host = core_.host();
    const uint32_t start = host.tickCount();
    host.processMessages();
    // The check is the driver's part of every pass; a session lost meanwhile shows in the
    // steps after the wait.
    BusyWaitFrom(host, start, ms, [this] { (void)core_.driver().TMValidSession(core_.SHandle); });
}

WireResult<void> Thermometers::Powered(uint8_t command, uint32_t waitMs) {
    const auto wait = [this](std::chrono::milliseconds ms) {
        WaitOnTickCounter(static_cast<uint32_t>(ms.count()));
    };
    const std::chrono::milliseconds hold(waitMs);
    const auto underPullup = [&] {
        return command == ds18x20_command::kConvertT ? ConvertUnderPullup(bus_, hold, wait)
                                                     : CopyUnderPullup(bus_, hold, wait);
    };
    TmexDriver& driver = core_.driver();
    if (driver.link() == nullptr || driver.link()->capabilities().strongPullup) {
        return underPullup();
    }
    const auto parasite = ParasitePowered(bus_);
    if (!parasite) {
        return parasite.error();
    }
    if (*parasite) {
        return underPullup();
    }
    if (driver.TMAccess(core_.SHandle, core_.StateBuf) < 1) {
        return WireError{WireErrorCode::Io, "the thermometer did not answer its selection"};
    }
    // A command whose echo failed may still have started: it gets its whole time all the same.
    const auto sent = SendCommand(bus_, command);
    wait(hold);
    return sent;
}

bool Thermometers::Succeeded(const WireResult<void>& step) {
    if (!step && step.error().code == WireErrorCode::Unsupported) {
        adapterLimit_ = step.error();
    }
    return step.ok();
}

// The buffer takes only an intact read: an adapter that fails halfway or a garbled bit leaves
// the bytes of the last good read rather than a wrong temperature.
std::optional<std::array<uint8_t, 9>> Thermometers::ReadScratchpad() {
    const auto read = velgrin::ReadScratchpad(bus_);
    if (!read) {
        return std::nullopt;
    }
    std::copy(read->begin(), read->end(), iarray.begin());
    return *read;
}

// Reading changes nothing in the device, so a read garbled on a noisy line is run again on its
// own rather than the sequence it belongs to.
std::optional<std::array<uint8_t, 9>> Thermometers::ReadIntact(const RomCode& target) {
    std::optional<std::array<uint8_t, 9>> bytes;
    (void)core_.retries.run(core_.host(), [&] {
        bytes = Selected(target) ? ReadScratchpad() : std::nullopt;
        return DoneOr(bytes.has_value());
    });
    return bytes;
}

bool Thermometers::Selected(const RomCode& target) {
    // A rescan during a wait leaves the session on whatever device it found last.
    return MakeCurrent(target) && core_.driver().TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1;
}

bool Thermometers::SelectedAgain(const RomCode& target) {
    return core_.retries.run(core_.host(), [&] { return DoneOr(Selected(target)); }) ==
           Attempt::Done;
}

bool Thermometers::ScratchpadHolds(const RomCode& target, uint8_t th, uint8_t tl,
                                   std::optional<uint8_t> configuration) {
    const auto bytes = ReadIntact(target);
    return bytes && (*bytes)[scratchpad_byte::kTh] == th && (*bytes)[scratchpad_byte::kTl] == tl &&
           (!configuration || (*bytes)[scratchpad_byte::kConfiguration] == *configuration);
}

// Recall E2 puts what the EEPROM holds into the scratchpad: TH, TL and the configuration byte
// must be what was copied (the configuration byte as meant, when one was written), or the
// write did not land.
bool Thermometers::RecalledAsMeant(const RomCode& rom, uint8_t th, uint8_t tl,
                                   std::optional<uint8_t> configuration,
                                   const std::optional<std::array<uint8_t, 9>>& copied) {
    if (!copied) {
        return false;
    }
    TmexDriver& driver = core_.driver();
    // A recall only copies the EEPROM into the scratchpad, so recall and read run again
    // together until the read comes intact. Without the recall the scratchpad still holds what
    // was written, EEPROM or not: a recall that did not go out as sent proves nothing.
    std::optional<std::array<uint8_t, 9>> recalled;
    (void)core_.retries.run(core_.host(), [&] {
        recalled = Selected(rom) && SendCommand(bus_, ds18x20_command::kRecallE2) &&
                           driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1
                       ? ReadScratchpad()
                       : std::nullopt;
        return DoneOr(recalled.has_value());
    });
    return recalled && (*recalled)[scratchpad_byte::kTh] == th &&
           (*recalled)[scratchpad_byte::kTl] == tl &&
           (*recalled)[scratchpad_byte::kConfiguration] ==
               configuration.value_or((*copied)[scratchpad_byte::kConfiguration]);
}

int Thermometers::Measure1820(int Indx) {
    adapterLimit_.reset();
    if (!InTable(Indx)) {
        return kRomNotCurrent;
    }
    TmexDriver& driver = core_.driver();
    int result = kMeasured;
    if (!MakeCurrent(Indx)) {
        result = kRomNotCurrent;
    } else if (driver.TMValidSession(core_.SHandle) >= 1 &&
               driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
        const RomCode target = core_.StateBuf.currentRom;
        // Parasite-powered devices draw the conversion current from the strong pull-up. A
        // conversion that did not go through leaves the previous one in the scratchpad, which
        // must not pass for a new reading.
        const bool converted = driver.TMAccess(core_.SHandle, core_.StateBuf) >= 1 &&
                               Succeeded(Powered(ds18x20_command::kConvertT, kConversionWaitMs));
        if (!converted) {
            result = kNotConverted;
        } else {
            // The conversion result stays in the device; a read that never comes intact leaves
            // the buffer as it was.
            (void)ReadIntact(target);
        }
    }
    ApplyScratchpad(core_.Asens[static_cast<size_t>(Indx)], iarray);
    return result;
}

ThresholdWrite Thermometers::wrscr1820(double th, double tl, int Indx,
                                       std::optional<uint8_t> configuration) {
    adapterLimit_.reset();
    // A DS18S20 would take a third byte for nothing and fail its check every time.
    if (!InTable(Indx) ||
        (configuration &&
         core_.Asens[static_cast<size_t>(Indx)].Family != device_group::kDs18B20) ||
        !MakeCurrent(Indx)) {
        return ThresholdWrite::NotReached;
    }
    const RomCode target = core_.StateBuf.currentRom;
    // Writing the same two values again is harmless, so a write that did not verify runs again
    // from the start; once a copy may have run, the EEPROM counts as touched.
    ThresholdWrite last = ThresholdWrite::NotReached;
    bool touched = false;
    // The outcome is in `last`; an adapter that cannot copy is not asked again.
    (void)core_.retries.run(core_.host(), [&] {
        last = WriteOnce(EncodeThresholdByte(th), EncodeThresholdByte(tl), configuration, target);
        touched = touched || last != ThresholdWrite::NotReached;
        return adapterLimit_ ? Attempt::Final : DoneOr(last == ThresholdWrite::Verified);
    });
    return last == ThresholdWrite::NotReached && touched ? ThresholdWrite::NotVerified : last;
}

ThresholdWrite Thermometers::WriteOnce(uint8_t thByte, uint8_t tlByte,
                                       std::optional<uint8_t> configuration,
                                       const RomCode& target) {
    TmexDriver& driver = core_.driver();
    if (!MakeCurrent(target) || driver.TMValidSession(core_.SHandle) < 1) {
        return ThresholdWrite::NotReached;
    }
    bool copied = false;
    if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
        // What these two reached is not needed: the scratchpad check below tells whether the
        // device holds what was meant.
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        (void)WriteScratchpad(bus_, thByte, tlByte, configuration);
        // Ends the write's sequence; the verify that follows is the selection that counts.
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // When the device no longer answers, the selection may rest on another one, whose
        // EEPROM the copy command would overwrite. And the scratchpad must hold what was meant:
        // a Write Scratchpad garbled on its way is never copied.
        if (ScratchpadHolds(target, thByte, tlByte, configuration) && SelectedAgain(target)) {
            // Armed before the command, so that a parasite-powered device has the pull-up for
            // the whole copy. Only an adapter that could not arm it sent no copy; any other
            // failure may have left one running, which the recall below judges.
            const auto copy = Powered(ds18x20_command::kCopyScratchpad, kCopyWaitMs);
            copied = Succeeded(copy) || !adapterLimit_;
        }
    }
    if (!copied) {
        // An adapter that failed while arming may have left the pull-up primed. The read-back
        // shows what the device holds.
        (void)MakeCurrent(target);
        (void)bus_.setNormalLevel();
        (void)driver.TMStrongAccess(core_.SHandle, core_.StateBuf);
        (void)ReadScratchpad();
        return ThresholdWrite::NotReached;
    }
    // Read before the recall overwrites it: the configuration byte as copied is what the recall
    // must bring back.
    const auto afterCopy = ReadIntact(target);
    return RecalledAsMeant(target, thByte, tlByte, configuration, afterCopy)
               ? ThresholdWrite::Verified
               : ThresholdWrite::NotVerified;
}

}  // namespace velgrin
