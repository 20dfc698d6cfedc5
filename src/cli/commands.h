#pragma once

#include "cli/command.h"

namespace velgrin::cli {

CliResult<ExitStatus> RunList(CommandContext& context);
CliResult<ExitStatus> RunTemp(CommandContext& context);
CliResult<ExitStatus> RunAlarms(CommandContext& context);
CliResult<ExitStatus> RunWatch(CommandContext& context);
CliResult<ExitStatus> RunSaveNumber(CommandContext& context);
CliResult<ExitStatus> RunDoctor(CommandContext& context);
CliResult<ExitStatus> RunStation(CommandContext& context);
CliResult<ExitStatus> RunRecordShow(CommandContext& context);

}  // namespace velgrin::cli
