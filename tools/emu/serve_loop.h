#pragma once

#include <string>
#include <vector>

#include "emu/served_adapter.h"

namespace velgrin::emu {

// Serves `adapter` until the end: with a command, until it ends (its shell status, 127 when it
// cannot start); without one, until SIGINT, SIGTERM or SIGHUP (0). SIGUSR1 unplugs the adapter
// and SIGUSR2 plugs it back. Messages go to standard error under `program`'s name. The emulator's
// signals must be blocked in every thread already.
int Serve(ServedAdapter& adapter, const std::vector<std::string>& command,
          const std::string& program);

}  // namespace velgrin::emu
