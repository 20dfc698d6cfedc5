#include "cli/hlt_block_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/hex_bytes.h"
#include "common/strict_json.h"
#include "common/text_file.h"
#include "hlt/crc_hlt.h"

namespace velgrin::cli {

namespace {

std::string WithoutComments(const std::string& text) {
    std::string kept;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line(text.data() + start, end - start);
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || line[first] != '#') {
            kept.append(line);
            kept += '\n';
        }
        start = end + 1;
    }
    return kept;
}

constexpr std::string_view kDumpHeading = "# HLT configuration block of ";

// The ROM a text dump names in its heading, if any.
std::string RomOfHeading(const std::string& text) {
    const auto at = text.find(kDumpHeading);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + kDumpHeading.size();
    const auto end = text.find_first_of(", \r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

struct BackupText {
    std::string hex;
    std::string rom;
};

CliResult<BackupText> HexOf(const std::string& path, const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || text[first] != '{') {
        return BackupText{WithoutComments(text), RomOfHeading(text)};
    }
    const auto document = ParseStrictJson(text);
    if (!document) {
        return UsageError(document.error().describe(path + ": not JSON"));
    }
    if (document->is_object() && document->contains("bytes") && document->at("bytes").is_string() &&
        (!document->contains("rom") || document->at("rom").is_string())) {
        return BackupText{document->at("bytes").get<std::string>(),
                          document->value("rom", std::string())};
    }
    return UsageError(path +
                      ": expected a JSON object with \"bytes\" as `hlt dump --json` "
                      "writes it");
}

}  // namespace

std::string BlockStateText(HltBlockState state) {
    switch (state) {
        case HltBlockState::Sealed:
            return "CRC matches";
        case HltBlockState::CrcMismatch:
            break;
        case HltBlockState::NeverConfigured:
            return "never configured: its mark byte is 0";
    }
    return "CRC does not match";
}

std::string BlockDumpText(const std::string& rom, const HltBlock& block) {
    HltBlock bytes = block;
    std::string text = std::string(kDumpHeading) + rom + ", pages 3 to 6 (" +
                       BlockStateText(BlockState(HLTConfig(bytes))) + ")\n";
    for (size_t page = 0; page < block.size() / kHltPageSize; ++page) {
        text += HexText(std::span(block.data() + page * kHltPageSize, kHltPageSize)) + "\n";
    }
    return text;
}

CliResult<BlockBackup> ParseBlockBackup(const std::string& path, const std::string& text) {
    const auto backup = HexOf(path, text);
    if (!backup) {
        return backup.error();
    }
    const auto bytes = ParseHexBytes(backup->hex);
    if (!bytes || bytes->size() != kHltBlockSize) {
        return UsageError(path +
                          ": expected the 32 bytes of the block as two-digit hexadecimal "
                          "numbers" +
                          (bytes ? ", found " + std::to_string(bytes->size()) : std::string()));
    }
    BlockBackup result;
    std::copy(bytes->begin(), bytes->end(), result.block.begin());
    result.rom = backup->rom;
    return result;
}

CliResult<BlockBackup> ReadBlockFile(const std::string& path) {
    const auto text = ReadTextFile(path, kMaxUserFileBytes);
    if (!text) {
        return UsageError("the block file " + path + " " + text.error().message);
    }
    return ParseBlockBackup(path, *text);
}

}  // namespace velgrin::cli
