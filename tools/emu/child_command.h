#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "common/result.h"

namespace velgrin::emu {

// The signals the emulator takes itself, with sigwait: blocked in every thread, from the start.
sigset_t EmulatorSignals();

// A command started with the emulator's environment plus `settings` ("NAME=value", replacing
// what is there), the signals unblocked and at their defaults. The message says why it could not
// start.
Result<pid_t, std::string> StartCommand(const std::vector<std::string>& command,
                                        const std::vector<std::string>& settings);

// What a shell would report for the ended child: its exit status, or 128 plus the signal.
int ShellStatus(int waitStatus);

}  // namespace velgrin::emu
