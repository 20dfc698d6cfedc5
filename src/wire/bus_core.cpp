#include "wire/bus_core.h"

#include <cstdio>

namespace velgrin {

namespace {

std::string HexByte(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value) & 0xFFu);
    return text;
}

// The ROM text: byte 7 (CRC) first, the family code last.
std::string RomTextOf(const std::array<int16_t, 9>& rom) {
    std::string text;
    for (int i = 7; i >= 0; --i) {
        text += HexByte(rom[static_cast<size_t>(i)]);
    }
    return text;
}

constexpr uint8_t kReadMemoryWithCrc = 0x69;
constexpr int kPasswordBytes = 8;
constexpr int kConfigurationReadBytes = 35;

}  // namespace

void BusCore::ClearAfterFailure(const char* status) {
    stat11 = status;
    Stat1.clear();
    OldFoundDev = 0;
    FoundDev = 0;
    devicesOnBus = 0;
}

ScanOutcome BusCore::ScanSessionAndSearch() {
    ScanOutcome outcome;
    flgRedravAll = false;
    outcome.result = 1;
    try {
        int16_t r = 1;
        if (portConfigDefault) {
            r = driver_.TMReadDefaultPort(PortNum, PortType);
            if (r < 1) {
                portConfigDefault = false;
                host_.showMessage(status_text::kNoDefaultPortMessage);
                PortNum = 1;
                PortType = kUsbPortType;
                outcome.portListsToDefaults = true;
            }
        } else {
            PortNum = defaultPort;
            PortType = defaultAdapter;
        }
        if (r < 1) {
            ClearAfterFailure(status_text::kNoPortChosen);
            outcome.result = 0;
            flgRedravAll = true;
            outcome.noPortChosen = true;
            return outcome;
        }

        std::string version;
        driver_.Get_Version(version);
        driver_.TMGetTypeVersion(PortType, Typebuf);

        SHandle = driver_.TMExtendedStartSession(PortNum, PortType);
        if (SHandle > 0) {
            const int16_t setup = driver_.TMSetup(SHandle);
            if (setup == 1 || setup == 2) {
                outcome.result = 1;
                stat11 = status_text::kAdapterFound;
                if (!Search()) {
                    outcome.result = 0;
                    outcome.searchFailed = true;
                }
            } else {
                driver_.TMEndSession(SHandle);
                ClearAfterFailure(status_text::kCheckAdapter);
                outcome.result = 0;
                flgRedravAll = true;
            }
        } else if (SHandle < 0) {
            ClearAfterFailure(status_text::kDriverError);
            outcome.result = 0;
        }
    } catch (...) {
        // A failed step leaves the state as far as it got; the next poll tries again.
    }
    return outcome;
}

bool BusCore::Search() {
    // A search that breaks off must not leave a table mixing two buses; the probes that run
    // between its passes fill these as they go.
    const DeviceTable tableBefore = Asens;
    const auto namesBefore = subtypeNames;
    const std::string typeBefore = TypeButtonString;
    const std::string serialBefore = SNADAPTERS;
    const std::string stat1Before = Stat1;
    bool complete = true;
    int16_t count = 0;
    int counted = 0;
    const int16_t first = driver_.TMFirst(SHandle, StateBuf);
    if (first == 1) {
        ROM[0] = 0;
        const int16_t n = driver_.TMRom(SHandle, StateBuf, ROM);
        AddFoundDevice(SHandle, StateBuf, 0, ROM);
        count = 1;
        if (n > 0) {
            bool ended = false;
            while (count < kDeviceTableSize) {
                const int16_t g = driver_.TMNext(SHandle, StateBuf);
                if (g <= 0) {
                    complete = g == 0;
                    ended = true;
                    break;
                }
                ROM[0] = 0;
                (void)driver_.TMRom(SHandle, StateBuf, ROM);
                AddFoundDevice(SHandle, StateBuf, count, ROM);
                ++count;
            }
            counted = count;
            if (!ended) {
                complete = CountBeyondTable(counted);
            }
        } else {
            counted = count;
        }
    } else if (first < 0) {
        complete = false;
    }
    if (!complete) {
        Asens = tableBefore;
        subtypeNames = namesBefore;
        TypeButtonString = typeBefore;
        SNADAPTERS = serialBefore;
        Stat1 = stat1Before;
        flgRedravAll = false;
        return false;
    }
    FoundDev = count;
    devicesOnBus = counted;
    if (FoundDev != OldFoundDev) {
        OldFoundDev = FoundDev;
        flgRedravAll = true;
    } else {
        flgRedravAll = false;
    }
    return true;
}

bool BusCore::CountBeyondTable(int& count) {
    while (count < kCountedDevicesLimit) {
        const int16_t g = driver_.TMNext(SHandle, StateBuf);
        if (g <= 0) {
            return g == 0;
        }
        std::array<int16_t, 9> rom{};
        if (driver_.TMRom(SHandle, StateBuf, rom) > 0 &&
            static_cast<uint8_t>(rom[0]) == family_code::kDs1420) {
            // The adapter's own chip may come late in the search order.
            SNADAPTERS = RomTextOf(rom);
            Stat1 = SNADAPTERS;
        }
        ++count;
    }
    return true;
}

void BusCore::AddFoundDevice(int32_t handle, TmexState& state, int16_t index,
                             const std::array<int16_t, 9>& rom) {
    CurrentSens& entry = Asens[static_cast<size_t>(index)];
    for (int i = 7; i >= 0; --i) {
        entry.ROM[static_cast<size_t>(i)] = rom[static_cast<size_t>(i)];
    }
    entry.ROMS = RomTextOf(rom);
    entry.Family = 0;
    const auto family = static_cast<uint8_t>(rom[0]);
    entry.Family = GroupOfFamily(family);
    std::string& subtypeName = subtypeNames[static_cast<size_t>(index)];
    subtypeName.clear();
    switch (family) {
        case family_code::kDs1921:
            subtypeName = IdentifyDS1921(handle, state, index, rom);
            break;
        case family_code::kDs1922:
            subtypeName = IdentifyDS1922(handle, state, index, rom);
            break;
        case family_code::kDs1420:
            SNADAPTERS = entry.ROMS;
            if (Stat1 != entry.ROMS) {
                Stat1 = entry.ROMS;
            }
            break;
        default:
            break;
    }
}

std::string BusCore::IdentifyDS1921(int32_t handle, TmexState& state, int16_t,
                                    const std::array<int16_t, 9>& rom) {
    // A selection a noisy line garbled would leave the name out of this search only.
    if (retries.run(host_, [&] { return DoneOr(driver_.TMStrongAccess(handle, state) == 1); }) !=
        Attempt::Done) {
        return {};
    }
    const int code = (rom[6] & 0xFF) * 16 + ((rom[5] & 0xFF) >> 4);
    std::string name;
    switch (code) {
        case 0:
        case 100:
            name = "DS1921L-F50 -40..+85(C)";
            break;
        case 348:
            name = "DS1921L-F53 -30..+85(C)";
            break;
        case 596:
            name = "DS1921L-F52 -20..+85(C)";
            break;
        case 844:
            name = "DS1921L-F51 -10..+85(C)";
            break;
        case 946:
            name = "DS1921Z-F5 -5..+26(C)";
            break;
        case 1266:
            name = "DS1921H-F5 +15..+46(C)";
            break;
        default:
            name = "Неизвестное устройство";
            break;
    }
    TypeButtonString = name;
    return name;
}

std::string BusCore::IdentifyDS1922(int32_t handle, TmexState& state, int16_t,
                                    const std::array<int16_t, 9>&) {
    int16_t configuration = 0;
    // The probe counts only when every byte of it went through; one the adapter failed cuts it,
    // and it runs again from the selection.
    const Attempt probe = retries.run(host_, [&] {
        if (driver_.TMStrongAccess(handle, state) != 1) {
            return Attempt::Repeatable;
        }
        bool whole = driver_.TMTouchByte(handle, kReadMemoryWithCrc) >= 0 &&
                     driver_.TMTouchByte(handle, 0x26) >= 0 &&
                     driver_.TMTouchByte(handle, 0x02) >= 0;
        for (int i = 0; whole && i < kPasswordBytes; ++i) {
            whole = driver_.TMTouchByte(handle, 0xFF) >= 0;
        }
        for (int i = 0; whole && i < kConfigurationReadBytes; ++i) {
            const int16_t read = driver_.TMTouchByte(handle, 0xFF);
            whole = read >= 0;
            if (i == 0) {
                configuration = read;
            }
        }
        return DoneOr(whole);
    });
    if (probe != Attempt::Done) {
        return {};
    }
    std::string name;
    switch (configuration) {
        case 0x00:
            name = "DS2422 - Термохрон";
            break;
        case 0x20:
            name = "DS1923 - Гигрохрон";
            break;
        case 0x40:
            name = "DS1922L - Термохрон";
            break;
        case 0x60:
            name = "DS1922T - Термохрон";
            break;
        case 0x80:
            name = "DS1922E - Термохрон";
            break;
        default:
            name = "Неизвестное устройство";
            break;
    }
    TypeButtonString = name;
    return name;
}

}  // namespace velgrin
