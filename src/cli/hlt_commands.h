#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/hlt_device.h"
#include "cli/hlt_settings_input.h"

namespace velgrin::cli {

CliResult<ExitStatus> RunHltShow(CommandContext& context);
CliResult<ExitStatus> RunHltSet(CommandContext& context);
CliResult<ExitStatus> RunHltReseal(CommandContext& context);
CliResult<ExitStatus> RunHltDump(CommandContext& context);
CliResult<ExitStatus> RunHltRestore(CommandContext& context);

// The multisensor named by the command's one word, after a scan.
CliResult<std::unique_ptr<HltDevice>> NamedHlt(CommandContext& context);

// Sorts what the core showed during a write: a write that failed makes the result a failure that
// says why (`fault`, as the core recorded it); anything else (a threshold-order warning) is
// passed on as a warning.
CliResult<void> WriteOutcome(const std::vector<std::string>& messages, Output& output,
                             HltWriteFault fault);

// What `hlt set` does once it has its input: reads the device as the settings dialog opens it,
// enters the input, runs the dialog's checks and write, and reads the pages back. A refused value
// is a usage error with nothing written; a write that failed or did not read back, a failure.
CliResult<void> WriteHltInput(HltDevice& hlt, const HltSettingsInput& input, Output& output);

// After a write: the pages read back must hold `written`. A failure says what differs.
CliResult<void> VerifyBlock(HltDevice& device, const HltBlock& written);

}  // namespace velgrin::cli
