#pragma once

#include <string>

#include "cli/command.h"

namespace velgrin::cli {

std::string ToolHelp();
std::string CommandHelp(const Command& command);
// The commands of a group ("hlt") with their summaries.
std::string GroupHelp(const std::string& group);
std::string VersionText();

}  // namespace velgrin::cli
