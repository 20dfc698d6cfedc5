#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/result.h"
#include "ds2480b_emu/ds2480b_emulator.h"

namespace velgrin::emu {

enum class AdapterKind { Ds2480b, Passive, Ds2490, Ds2482_100, Ds2482_800 };

// The serial kinds live on a pseudo-terminal; the others on a bus mocked for one command.
bool IsSerial(AdapterKind kind);
// "ds2490", as --adapter spells it.
std::string KindName(AdapterKind kind);

struct EmuArguments {
    AdapterKind adapter = AdapterKind::Ds2480b;
    std::optional<std::string> benchFile;
    std::optional<std::string> saveBench;
    // Timing, noise and the line's options; only timing counts for the mocked kinds.
    ds2480b::EmulatorOptions serial;
    // What runs against the adapter, after "--".
    std::vector<std::string> command;
    bool help = false;
    bool version = false;
};

// The message says what is wrong with the command line, without the program's name.
using ArgumentsResult = Result<EmuArguments, std::string>;

ArgumentsResult ParseArguments(const std::vector<std::string>& words);

// The --help text, under the name the program was called by.
std::string UsageText(const std::string& program);

}  // namespace velgrin::emu
