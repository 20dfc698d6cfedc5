#include "thermo/thermometers.h"

#include <algorithm>

#include "common/crc.h"
#include "common/host.h"
#include "thermo/threshold_byte.h"

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
    BusyWaitFrom(host, start, ms, [this] { (void)core_.driver().TMValidSession(core_.SHandle); });
}

// The buffer takes only a complete read with a correct CRC: an adapter that fails halfway or a
// garbled bit leaves the bytes of the last good read rather than a wrong temperature.
std::optional<std::array<uint8_t, 9>> Thermometers::ReadScratchpad() {
    TmexDriver& driver = core_.driver();
    if (driver.TMTouchByte(core_.SHandle, ds18x20_command::kReadScratchpad) < 0) {
        return std::nullopt;
    }
    std::array<uint8_t, std::tuple_size_v<Scratchpad>> received{};
    for (auto& byte : received) {
        const int16_t read = driver.TMTouchByte(core_.SHandle, 0xFF);
        if (read < 0) {
            return std::nullopt;
        }
        byte = static_cast<uint8_t>(read);
    }
    if (Crc8(received) != 0) {
        return std::nullopt;
    }
    std::copy(received.begin(), received.end(), iarray.begin());
    return received;
}

bool Thermometers::ScratchpadHolds(uint8_t th, uint8_t tl) {
    const auto bytes = ReadScratchpad();
    return bytes && (*bytes)[scratchpad_byte::kTh] == th && (*bytes)[scratchpad_byte::kTl] == tl;
}

// Recall E2 puts what the EEPROM holds into the scratchpad: TH, TL and the configuration byte
// must be what was copied, or the write did not land.
bool Thermometers::RecalledAsMeant(const RomCode& rom, uint8_t th, uint8_t tl,
                                   const std::optional<std::array<uint8_t, 9>>& copied) {
    TmexDriver& driver = core_.driver();
    if (!copied || !MakeCurrent(rom) || driver.TMStrongAccess(core_.SHandle, core_.StateBuf) < 1) {
        return false;
    }
    // Without the recall the scratchpad still holds what was written, EEPROM or not: a recall
    // that did not go out as sent proves nothing.
    if (driver.TMTouchByte(core_.SHandle, ds18x20_command::kRecallE2) !=
            ds18x20_command::kRecallE2 ||
        driver.TMStrongAccess(core_.SHandle, core_.StateBuf) < 1) {
        return false;
    }
    const auto recalled = ReadScratchpad();
    return recalled && (*recalled)[scratchpad_byte::kTh] == th &&
           (*recalled)[scratchpad_byte::kTl] == tl &&
           (*recalled)[scratchpad_byte::kConfiguration] ==
               (*copied)[scratchpad_byte::kConfiguration];
}

int Thermometers::Measure1820(int Indx) {
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
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // Parasite-powered devices draw the conversion current from the strong pull-up, which
        // must start right after the command byte.
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 2);
        (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kConvertT);
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 1);
        WaitOnTickCounter(kConversionWaitMs);
        // A rescan during the wait leaves the session on whatever device it found last.
        (void)MakeCurrent(target);
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 0, 0);
        // A read that fails its CRC is read again; the conversion result stays in the device.
        (void)core_.retries.run(core_.host(), [&] {
            return DoneOr(MakeCurrent(target) &&
                          driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1 &&
                          ReadScratchpad().has_value());
        });
    }
    ApplyScratchpad(core_.Asens[static_cast<size_t>(Indx)], iarray);
    return result;
}

ThresholdWrite Thermometers::wrscr1820(double th, double tl, int Indx) {
    if (!InTable(Indx) || !MakeCurrent(Indx)) {
        return ThresholdWrite::NotReached;
    }
    const RomCode target = core_.StateBuf.currentRom;
    // Writing the same two values again is harmless, so a write that did not verify runs again
    // from the start; once a copy may have run, the EEPROM counts as touched.
    ThresholdWrite last = ThresholdWrite::NotReached;
    bool touched = false;
    (void)core_.retries.run(core_.host(), [&] {
        last = WriteOnce(EncodeThresholdByte(th), EncodeThresholdByte(tl), target);
        touched = touched || last != ThresholdWrite::NotReached;
        return DoneOr(last == ThresholdWrite::Verified);
    });
    return last == ThresholdWrite::NotReached && touched ? ThresholdWrite::NotVerified : last;
}

ThresholdWrite Thermometers::WriteOnce(uint8_t thByte, uint8_t tlByte, const RomCode& target) {
    TmexDriver& driver = core_.driver();
    if (!MakeCurrent(target) || driver.TMValidSession(core_.SHandle) < 1) {
        return ThresholdWrite::NotReached;
    }
    bool copied = false;
    if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // Two data bytes on both families: a DS18B20 keeps its configuration register.
        (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kWriteScratchpad);
        (void)driver.TMTouchByte(core_.SHandle, thByte);
        (void)driver.TMTouchByte(core_.SHandle, tlByte);
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // When the device no longer answers, the selection may rest on another one, whose
        // EEPROM the copy command would overwrite. And the scratchpad must hold what was meant:
        // a Write Scratchpad garbled on its way is never copied.
        if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1 &&
            ScratchpadHolds(thByte, tlByte) &&
            driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
            // Armed before the command, so that a parasite-powered device has the pull-up for
            // the whole copy.
            (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 2);
            (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kCopyScratchpad);
            WaitOnTickCounter(kCopyWaitMs);
            copied = true;
        }
    }
    // A rescan during the wait leaves the session on whatever device it found last.
    (void)MakeCurrent(target);
    (void)driver.TMOneWireLevel(core_.SHandle, 0, 0, 0);
    (void)driver.TMStrongAccess(core_.SHandle, core_.StateBuf);
    const auto afterCopy = ReadScratchpad();
    if (!copied) {
        return ThresholdWrite::NotReached;
    }
    return RecalledAsMeant(target, thByte, tlByte, afterCopy) ? ThresholdWrite::Verified
                                                              : ThresholdWrite::NotVerified;
}

}  // namespace velgrin
