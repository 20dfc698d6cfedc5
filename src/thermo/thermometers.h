#pragma once

#include <array>
#include <optional>

#include "thermo/scratchpad.h"
#include "thermo/session_bus.h"
#include "wire/bus_core.h"

namespace velgrin {

// Longest conversion (12 bits) with margin, and the EEPROM copy.
inline constexpr uint32_t kConversionWaitMs = 1000;
inline constexpr uint32_t kCopyWaitMs = 500;

// What Measure1820 reports.
inline constexpr int kMeasured = 1;
inline constexpr int kNotConverted = 0;
inline constexpr int kRomNotCurrent = -99;

// What a threshold write achieved.
enum class ThresholdWrite {
    Verified,     // recalled from EEPROM: TH and TL as meant, the configuration byte as copied
    NotReached,   // no copy: the device did not answer, or its scratchpad did not hold the
                  // values; its EEPROM was not written
    NotVerified,  // copied, but the recall showed other values or could not be read intact
};

// The DS18S20 / DS18B20 bus sequences over the core's session: measuring one thermometer into
// its device record, and writing its alarm thresholds. Both go through the shared scratchpad
// buffer `iarray`, which keeps the last read from any thermometer that came complete with a
// correct CRC.
class Thermometers {
  public:
    explicit Thermometers(BusCore& core) : core_(core) {}

    // Converts and reads the thermometer at table index Indx (a read failing its CRC is read
    // again), then computes its record from `iarray` (also when the bus part ended early, so
    // the record then holds what the previous bytes give). A conversion that did not go through
    // is not read: its scratchpad holds the previous one. kMeasured; kNotConverted when the
    // Convert T did not go through; kRomNotCurrent when the device could not be made current.
    int Measure1820(int Indx);

    // Writes TH and TL (degrees, finite) into the thermometer at Indx, reads the scratchpad to
    // see them there, copies them to its EEPROM and reads the scratchpad back into `iarray`;
    // then recalls the EEPROM and compares it with what was meant. A selection or a read that
    // failed is made again on its own (a read after the copy with its recall), and a write that
    // did not verify runs again from the start, both as the retry rule allows. Every step after
    // the first addresses the device the entry held at the start, also when a rescan during the
    // copy wait re-indexed the table. A `configuration` byte (a DS18B20 only; any other device
    // is NotReached, untouched) goes with them and is checked likewise.
    ThresholdWrite wrscr1820(double th, double tl, int Indx,
                             std::optional<uint8_t> configuration = std::nullopt);

    Scratchpad iarray{};

    // Why the last Measure1820 or wrscr1820 could not run its sequence on this adapter (no
    // strong pull-up); empty when the adapter could.
    const std::optional<WireError>& adapterLimit() const { return adapterLimit_; }

  private:
    // One write of the register bytes into `target`, start to verification.
    ThresholdWrite WriteOnce(uint8_t thByte, uint8_t tlByte, std::optional<uint8_t> configuration,
                             const RomCode& target);
    bool MakeCurrent(int Indx);
    bool MakeCurrent(const RomCode& rom);
    void WaitOnTickCounter(uint32_t ms);
    // Convert T or Copy Scratchpad on the selected device, then `waitMs`: under the strong
    // pull-up where the adapter has one. An adapter without it still serves a device with a
    // supply of its own (which is selected again after its power is read); a parasite-powered
    // one is refused with the adapter's reason.
    WireResult<void> Powered(uint8_t command, uint32_t waitMs);
    // True when the step went through; an adapter's limit is kept for adapterLimit().
    bool Succeeded(const WireResult<void>& step);
    // The nine bytes when they came intact (then also kept in `iarray`).
    std::optional<std::array<uint8_t, 9>> ReadScratchpad();
    // Selects `target` and reads its scratchpad, both again as the retry rule allows until the
    // nine bytes come intact.
    std::optional<std::array<uint8_t, 9>> ReadIntact(const RomCode& target);
    // The session on `target` and the device selected by a search for it (which finds it there).
    bool Selected(const RomCode& target);
    // Selects `target` again, as often as the retry rule allows until it answers.
    bool SelectedAgain(const RomCode& target);
    bool ScratchpadHolds(const RomCode& target, uint8_t th, uint8_t tl,
                         std::optional<uint8_t> configuration);
    bool RecalledAsMeant(const RomCode& rom, uint8_t th, uint8_t tl,
                         std::optional<uint8_t> configuration,
                         const std::optional<std::array<uint8_t, 9>>& copied);

    BusCore& core_;
    SessionBus bus_{core_};
    std::optional<WireError> adapterLimit_;
};

}  // namespace velgrin
