#pragma once

#include <string>

#include "cli/exit_status.h"
#include "hlt/hlt_config.h"

namespace velgrin::cli {

// The text `hlt dump` prints: a comment line, then the 32 bytes in hexadecimal, one page a line.
std::string BlockDumpText(const std::string& rom, const HltBlock& block, bool crcOk);

// Reads a backup as `hlt dump` writes it, in text or as its JSON (the "bytes" member): exactly
// 32 bytes in hexadecimal; lines starting with "#" are comments. Anything else is a usage error
// naming the file.
CliResult<HltBlock> ReadBlockFile(const std::string& path);

}  // namespace velgrin::cli
