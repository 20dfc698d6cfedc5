#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tab_rig.h"
#include "thermo/list_lookup.h"
#include "wire/rom_code.h"
#include "wire/sim/sim_ds18b20.h"
#include "wire/sim/sim_ds18s20.h"

namespace velgrin::testing {

inline RomCode ThermometerRom(uint8_t family, uint8_t serial) {
    return WithRomCrc({family, serial, 0x2B, 0x1A, 0x00, 0x00, 0x00, 0x00});
}

// The tab over a bench of DS18x20 models, with what a test needs to see the bus as the devices
// see it.
struct ThermometerBench : TabRig {
    template <typename Model>
    Model& Attach(const RomCode& rom) {
        auto device = std::make_unique<Model>(rom);
        Model& model = *device;
        rig.bus().attach(std::move(device));
        return model;
    }

    // One poll's session and search, then the bus log starts empty.
    void Scan() {
        (void)rig.core.ScanSessionAndSearch();
        rig.bus().clearEvents();
    }

    int IndexOf(const RomCode& rom) { return FindIndx1820(rig.core, ListEntry(rom)); }
    std::string ListEntry(const RomCode& rom) {
        for (int i = 0; i < rig.core.FoundDev; ++i) {
            if (rig.core.Asens[static_cast<size_t>(i)].ROMS == RomText(rom)) {
                return ListEntryText(i, RomText(rom));
            }
        }
        return "?? " + RomText(rom);
    }
    void Select(const RomCode& rom) { controls.setText(thermo_control::kList, ListEntry(rom)); }

    // From the strong pull-up going on to its going off, on the bus clock.
    uint64_t PullupHeldUs() {
        uint64_t on = 0, off = 0;
        for (const auto& event : rig.bus().events()) {
            if (event.kind == sim::BusEvent::Kind::PullupOn) {
                on = event.atUs;
            } else if (event.kind == sim::BusEvent::Kind::PullupOff) {
                off = event.atUs;
            }
        }
        return off - on;
    }

    std::string Log() { return sim::DescribeEvents(rig.bus().events()); }

    // How the driver's check-and-select of a device (a steered Search ROM) looks with the
    // devices now on the bus. Taken before the step under test; leaves the log empty.
    std::string Selection(const RomCode& rom) {
        rig.bus().clearEvents();
        std::array<int16_t, 8> words{};
        std::copy(rom.begin(), rom.end(), words.begin());
        (void)rig.driver.TMRom(rig.core.SHandle, rig.core.StateBuf, words);
        (void)rig.driver.TMStrongAccess(rig.core.SHandle, rig.core.StateBuf);
        const std::string selection = Log();
        rig.bus().clearEvents();
        return selection;
    }

    // Reset and Match ROM.
    static std::string Access(const RomCode& rom) {
        std::string text = "R W55";
        for (uint8_t byte : rom) {
            text += " " + Hex('W', byte);
        }
        return text;
    }

    static std::string ScratchpadRead(const sim::Ds18x20Device& device) {
        return ScratchpadRead(device.scratchpad());
    }
    static std::string ScratchpadRead(const sim::Ds18x20Device::Scratchpad& bytes) {
        std::string text = "WBE";
        for (uint8_t byte : bytes) {
            text += " " + Hex('R', byte);
        }
        return text;
    }

    static std::string Hex(char prefix, uint8_t byte) {
        char text[4];
        std::snprintf(text, sizeof text, "%c%02X", prefix, byte);
        return text;
    }
};

}  // namespace velgrin::testing
