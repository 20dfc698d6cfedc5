#pragma once

#include <string>
#include <vector>

#include "common/result.h"

namespace velgrin::emu {

// umockdev's preload library, which a command needs from its start to see the mocked nodes:
// the name (or path) from VELGRIN_EMU_PRELOAD, or libumockdev-preload.so.0.
std::string PreloadLibrary();

// Whether the dynamic loader finds and loads it, asked in a short-lived child so that the
// emulator itself stays unmocked. Call it before any thread starts.
Result<void, std::string> CheckPreloadLoads(const std::string& library);

// The environment of a command under the testbed at `rootDir`: the library preloaded ahead of
// what LD_PRELOAD already holds.
std::vector<std::string> PreloadSettings(const std::string& library, const std::string& rootDir);

}  // namespace velgrin::emu
