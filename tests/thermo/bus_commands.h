#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "wire/rom_code.h"
#include "wire/sim/sim_bus.h"

namespace velgrin::testing {

// One stretch of the bus log from a reset to the next, as a device's ROM layer decodes it: how
// the master addressed the devices and which function command it sent.
struct BusCommand {
    uint64_t resetUs = 0;
    uint64_t endUs = 0;  // the last event before the next reset
    std::optional<uint8_t> romCommand;
    RomCode matched{};  // after Match ROM
    std::optional<uint8_t> function;
    std::vector<bool> linesAfterFunction;  // the level each later slot ended at
    bool pulledUp = false;                 // the strong pull-up went on in this stretch
    uint64_t pullupOnUs = 0;
    uint64_t pullupOffUs = 0;
    int slotsUnderPullup = 0;
    bool pullupRightAfterFunction = false;  // no slot between the command and the pull-up
};

inline std::vector<BusCommand> BusCommands(const std::vector<sim::BusEvent>& events) {
    std::vector<BusCommand> commands;
    std::vector<bool> written;
    std::vector<bool> lines;
    size_t slotsAtPullup = 0;
    bool pulledUp = false;
    auto byteAt = [&](size_t index) -> std::optional<uint8_t> {
        if (written.size() < 8 * (index + 1)) {
            return std::nullopt;
        }
        uint8_t byte = 0;
        for (size_t bit = 0; bit < 8; ++bit) {
            byte |= static_cast<uint8_t>(written[8 * index + bit] ? 1u << bit : 0u);
        }
        return byte;
    };
    auto finish = [&] {
        if (commands.empty()) {
            return;
        }
        BusCommand& command = commands.back();
        command.romCommand = byteAt(0);
        size_t functionIndex = 1;
        if (command.romCommand == 0x55) {
            for (size_t i = 0; i < 8; ++i) {
                command.matched[i] = byteAt(1 + i).value_or(0);
            }
            functionIndex = 9;
        }
        command.function = byteAt(functionIndex);
        const size_t after = 8 * (functionIndex + 1);
        if (lines.size() > after) {
            command.linesAfterFunction.assign(lines.begin() + static_cast<long>(after),
                                              lines.end());
        }
        command.pullupRightAfterFunction = command.pulledUp && slotsAtPullup == after;
        written.clear();
        lines.clear();
    };
    for (const auto& event : events) {
        if (event.kind == sim::BusEvent::Kind::Reset) {
            finish();
            BusCommand command;
            command.resetUs = command.endUs = event.atUs;
            commands.push_back(command);
            continue;
        }
        if (commands.empty()) {
            continue;
        }
        BusCommand& command = commands.back();
        command.endUs = event.atUs;
        switch (event.kind) {
            case sim::BusEvent::Kind::Slot:
                written.push_back(event.masterBit);
                lines.push_back(event.line);
                command.slotsUnderPullup += pulledUp ? 1 : 0;
                break;
            case sim::BusEvent::Kind::PullupOn:
                pulledUp = true;
                command.pulledUp = true;
                command.pullupOnUs = event.atUs;
                slotsAtPullup = written.size();
                break;
            case sim::BusEvent::Kind::PullupOff:
                pulledUp = false;
                command.pullupOffUs = event.atUs;
                break;
            case sim::BusEvent::Kind::Reset:
                break;
        }
    }
    finish();
    return commands;
}

}  // namespace velgrin::testing
