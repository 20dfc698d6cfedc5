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
void Thermometers::ReadScratchpad() {
    TmexDriver& driver = core_.driver();
    if (driver.TMTouchByte(core_.SHandle, ds18x20_command::kReadScratchpad) < 0) {
        return;
    }
    std::array<uint8_t, std::tuple_size_v<Scratchpad>> received{};
    for (auto& byte : received) {
        const int16_t read = driver.TMTouchByte(core_.SHandle, 0xFF);
        if (read < 0) {
            return;
        }
        byte = static_cast<uint8_t>(read);
    }
    if (Crc8(received) != 0) {
        return;
    }
    std::copy(received.begin(), received.end(), iarray.begin());
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
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // Parasite-powered devices draw the conversion current from the strong pull-up, which
        // must start right after the command byte.
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 2);
        (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kConvertT);
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 1);
        WaitOnTickCounter(kConversionWaitMs);
        (void)driver.TMOneWireLevel(core_.SHandle, 0, 0, 0);
        if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
            ReadScratchpad();
        }
    }
    ApplyScratchpad(core_.Asens[static_cast<size_t>(Indx)], iarray);
    return result;
}

void Thermometers::wrscr1820(double th, double tl, int Indx) {
    const uint8_t thByte = EncodeThresholdByte(th);
    const uint8_t tlByte = EncodeThresholdByte(tl);
    if (!InTable(Indx) || !MakeCurrent(Indx)) {
        return;
    }
    TmexDriver& driver = core_.driver();
    if (driver.TMValidSession(core_.SHandle) < 1) {
        return;
    }
    if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // Two data bytes on both families: a DS18B20 keeps its configuration register.
        (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kWriteScratchpad);
        (void)driver.TMTouchByte(core_.SHandle, thByte);
        (void)driver.TMTouchByte(core_.SHandle, tlByte);
        (void)driver.TMAccess(core_.SHandle, core_.StateBuf);
        // When the device no longer answers, the selection may rest on another one, whose
        // EEPROM the copy command would overwrite.
        if (driver.TMStrongAccess(core_.SHandle, core_.StateBuf) >= 1) {
            // Armed before the command, so that a parasite-powered device has the pull-up for
            // the whole copy.
            (void)driver.TMOneWireLevel(core_.SHandle, 0, 1, 2);
            (void)driver.TMTouchByte(core_.SHandle, ds18x20_command::kCopyScratchpad);
            WaitOnTickCounter(kCopyWaitMs);
        }
    }
    (void)driver.TMOneWireLevel(core_.SHandle, 0, 0, 0);
    (void)driver.TMStrongAccess(core_.SHandle, core_.StateBuf);
    ReadScratchpad();
}

}  // namespace velgrin
