#pragma once

#include <string>

#include "cli/exit_status.h"
#include "hlt/crc_hlt.h"
#include "hlt/hlt_config.h"

namespace velgrin::cli {

// "CRC matches", "CRC does not match" or that the block was never configured.
std::string BlockStateText(HltBlockState state);

// The text `hlt dump` prints: a comment line (whether the CRC matches, or that the block was
// never configured), then the 32 bytes in hexadecimal, one page a line.
std::string BlockDumpText(const std::string& rom, const HltBlock& block);

// A backup of a multisensor's configuration block and the ROM of the device it came from (empty
// when the file names none).
struct BlockBackup {
    HltBlock block{};
    std::string rom;
};

// Reads a backup as `hlt dump` writes it, in text (the ROM in its heading) or as its JSON (the
// "bytes" and "rom" members): exactly 32 bytes in hexadecimal; lines starting with "#" are
// comments. Anything else is a usage error naming the file.
CliResult<BlockBackup> ReadBlockFile(const std::string& path);
CliResult<BlockBackup> ParseBlockBackup(const std::string& path, const std::string& text);

}  // namespace velgrin::cli
