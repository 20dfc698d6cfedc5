#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/result.h"

namespace velgrin::cli {

// The ROM texts of the last `list`, kept for the shell's completion of ROM arguments, one a line
// in $XDG_CACHE_HOME/velgrin/last-list (~/.cache/velgrin/last-list when XDG_CACHE_HOME is unset
// or not absolute). None when neither variable gives an absolute folder.
std::optional<std::string> LastListPath();

// Replaces the file as a whole (a reader sees the old list or the new one) and reads it back.
// The message of a failure names the file and the reason.
Result<void, std::string> KeepLastList(const std::vector<std::string>& roms);

}  // namespace velgrin::cli
