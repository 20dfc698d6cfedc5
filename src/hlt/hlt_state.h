#pragma once

#include <array>
#include <cstdint>

#include "hlt/hlt_config.h"
#include "wire/rom_code.h"

namespace velgrin {

// What the program knows of the multisensor opened in the settings dialog: its configuration
// block as last read (and as edited before a write) and its last live readings. The main window
// owns one; the dialog's handlers share it.
struct HltState {
    HltState() = default;
    // HLTS views this object's own buffer.
    HltState(const HltState&) = delete;
    HltState& operator=(const HltState&) = delete;

    // Bytes 0..31: the block; byte 32: the CRC byte of the page-6 read.
    std::array<uint8_t, kHltBufSize> HLT_Buf{};
    HLTConfig HLTS{std::span<uint8_t, kHltBlockSize>(HLT_Buf.data(), kHltBlockSize)};

    // Device-table index of the multisensor the dialog was opened for.
    int16_t curIndxHLT = 0;

    // What the last configuration read delivered: the block as read, the device it came from,
    // and whether every page came with a correct CRC. A write or a seal starts only from an
    // intact block, goes to that device only, and first reads the block again to find the same
    // bytes.
    HltBlock readBlock{};
    RomCode blockRom{};
    bool blockIntact = false;

    // Last decoded readings; kept when a cycle is skipped.
    double Temperature = 0;  // on-chip temperature, degrees C, two decimals
    double Vsens = 0;        // supply voltage VDD
    double ADC0_val = 0;     // VAD input: the signal of channel 0
    double ADC1_val = 0;     // current register as a voltage: the signal of channel 1
};

}  // namespace velgrin
