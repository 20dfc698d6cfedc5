#include "wire/bus_core.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "common/crc.h"
#include "wire/logger_subtypes.h"

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
constexpr uint16_t kConfigurationAddress = 0x0226;
// Passwords are sent as all ones: any eight bytes pass while passwords are off.
constexpr uint8_t kPasswordFill = 0xFF;
constexpr size_t kPasswordBytes = 8;
// The configuration byte's page from it to its end, then the inverted CRC16 of the command, the
// address and those bytes.
constexpr size_t kConfigurationPageRest = 26;
// The probe reads on into the next page; nothing past the CRC is used.
constexpr size_t kConfigurationReadBytes = 35;

bool IsAdapterSerialChip(const std::array<int16_t, 9>& rom) {
    const FamilyDescriptor* family = FindFamily(static_cast<uint8_t>(rom[0]));
    return family != nullptr && family->searchStep == SearchStep::kAdapterSerial;
}

// The configuration byte at 0x0226, read with Read Memory with CRC in one block from the command
// to the CRC; none unless every byte written came back as sent and the device's CRC matches.
std::optional<uint8_t> ReadConfigurationByte(TmexDriver& driver, int32_t handle) {
    constexpr size_t kWritten = 3 + kPasswordBytes;
    std::array<uint8_t, kWritten + kConfigurationReadBytes> block{};
    block.fill(0xFF);
    block[0] = kReadMemoryWithCrc;
    block[1] = static_cast<uint8_t>(kConfigurationAddress & 0xFF);
    block[2] = static_cast<uint8_t>(kConfigurationAddress >> 8);
    std::fill_n(block.begin() + 3, kPasswordBytes, kPasswordFill);
    const auto sent = block;
    if (driver.TMBlockIO(handle, block) != static_cast<int16_t>(block.size()) ||
        !std::equal(block.begin(), block.begin() + kWritten, sent.begin())) {
        return std::nullopt;
    }
    const auto reply = std::span<const uint8_t>(block).subspan(kWritten);
    // The CRC covers the command and address, then the reply; the passwords are not in it.
    const uint16_t covered =
        Crc16(reply.first(kConfigurationPageRest), Crc16(std::span(block).first(3)));
    const auto crc = static_cast<uint16_t>(
        ~(reply[kConfigurationPageRest] | (reply[kConfigurationPageRest + 1] << 8)));
    if (covered != crc) {
        return std::nullopt;
    }
    return reply.front();
}

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
        outcome.result = 0;
        host_.reportException(std::current_exception());
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
                // Only copies the code TMNext just found: nothing on the bus to fail.
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
        if (driver_.TMRom(SHandle, StateBuf, rom) > 0 && IsAdapterSerialChip(rom)) {
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
    const FamilyDescriptor* descriptor = FindFamily(family);
    switch (descriptor == nullptr ? SearchStep::kNone : descriptor->searchStep) {
        case SearchStep::kIdentifyDs1921:
            subtypeName = IdentifyDS1921(handle, state, index, rom);
            break;
        case SearchStep::kIdentifyDs1922:
            subtypeName = IdentifyDS1922(handle, state, index, rom);
            break;
        case SearchStep::kAdapterSerial:
            SNADAPTERS = entry.ROMS;
            if (Stat1 != entry.ROMS) {
                Stat1 = entry.ROMS;
            }
            break;
        case SearchStep::kNone:
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
    TypeButtonString = Ds1921SubtypeName(code);
    return TypeButtonString;
}

std::string BusCore::IdentifyDS1922(int32_t handle, TmexState& state, int16_t,
                                    const std::array<int16_t, 9>&) {
    std::optional<uint8_t> configuration;
    // Only a whole, intact reply names the part; a broken one runs again from the selection,
    // and one that stays broken leaves the name out rather than guess it.
    const Attempt probe = retries.run(host_, [&] {
        if (driver_.TMStrongAccess(handle, state) != 1) {
            return Attempt::Repeatable;
        }
        configuration = ReadConfigurationByte(driver_, handle);
        return DoneOr(configuration.has_value());
    });
    if (probe != Attempt::Done) {
        return {};
    }
    TypeButtonString = Ds1922SubtypeName(*configuration);
    return TypeButtonString;
}

}  // namespace velgrin
