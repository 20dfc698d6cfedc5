#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/host.h"
#include "common/retry_rule.h"
#include "thermo/thermometer_steps.h"
#include "wire/network.h"

namespace velgrin {

// The longest conversion of any DS18S20 / DS18B20 (12 bits): the data sheets' maximum.
inline constexpr uint32_t kLongestConversionMs = 750;
// How often a running conversion's read slot is looked at.
inline constexpr uint32_t kBusyPollIntervalMs = 10;

// What measuring one thermometer of a set gave.
struct ThermometerOutcome {
    enum class State {
        Measured,       // `scratchpad` is fresh from a conversion seen complete
        PowerOnValue,   // the register holds the power-on value and no conversion completed
        NotConverted,   // it answers, but no conversion of it could be seen complete
        NoIntactReply,  // no presence, or the scratchpad failed its CRC
        AdapterLimit,   // parasite-powered, and the adapter has no strong pull-up to convert it
    };
    RomCode rom{};
    State state = State::NoIntactReply;
    std::array<uint8_t, 9> scratchpad{};  // valid for Measured and PowerOnValue
};

// Measures DS18S20 / DS18B20 thermometers together: all of them convert within one conversion
// time, then each is read by Match ROM with its CRC checked. Convert T goes out by Skip ROM only
// when the last search found these thermometers and nothing else; otherwise each one is matched
// and started in turn (externally powered ones first, then each parasite-powered one under its
// own strong pull-up, since a second selection would cut the first one's power).
class ThermometerSet {
  public:
    // `retries` bounds the repeats of reads that failed their CRC and of measurements that saw
    // no conversion complete.
    ThermometerSet(Network& network, Host& host, RetryRule& retries)
        : network_(network), host_(host), retries_(retries) {}

    // `busHoldsOnlyThese`: the search just before found exactly `roms` on the bus. Outcomes
    // come in the order of `roms`.
    std::vector<ThermometerOutcome> measure(const std::vector<RomCode>& roms,
                                            bool busHoldsOnlyThese);

    // One thermometer converted alone, its conversion watched, and read right after.
    ThermometerOutcome measureAlone(const RomCode& rom);

    // Settles a reading that holds the power-on value, came without a conversion seen complete,
    // or came with no intact reply: the device is measured alone again, as the retry rule
    // allows, until a conversion is seen complete. Another reading is passed on as it is.
    ThermometerOutcome settle(const ThermometerOutcome& first);

  private:
    struct Target {
        RomCode rom;
        bool present = true;
        bool parasite = false;
        bool converted = false;  // a conversion of it was seen complete
        bool waiting = false;    // started by Match ROM at startTick, its end not watched
        uint32_t startTick = 0;
        bool lacksPullup = false;  // parasite-powered, and the adapter could not convert it
    };

    void convertTogether(std::vector<Target>& targets);
    void convertInTurn(std::vector<Target>& targets);
    void waitUntilDone(const Target& target);
    // Read Power Supply of one device; false when nothing answered the reset or the adapter
    // failed.
    bool readPowerSupply(Target& target);
    // Convert T to the selected device(s) with the pull-up on for the longest conversion;
    // `lacksPullup` is set when the adapter has none.
    bool convertUnderPullup(bool& lacksPullup);
    // Polls read slots until the selected device(s) finish; true when seen busy, then done
    // (or, when the adapter failed a slot after the busy one, once the longest conversion time
    // is over); false when none read busy or one sent after that time still did.
    bool pollUntilDone();
    void readOut(const Target& target, ThermometerOutcome& outcome);
    bool skipRom();

    Network& network_;
    LinkThermometerBus bus_{network_.link()};
    Host& host_;
    RetryRule& retries_;
};

}  // namespace velgrin
