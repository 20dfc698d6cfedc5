#include "cli/hlt_block_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "cli/hex_bytes.h"
#include "common/text_file.h"

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

CliResult<std::string> HexOf(const std::string& path, const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || text[first] != '{') {
        return WithoutComments(text);
    }
    try {
        const auto document = nlohmann::json::parse(text);
        if (document.contains("bytes") && document.at("bytes").is_string()) {
            return document.at("bytes").get<std::string>();
        }
    } catch (const nlohmann::json::parse_error&) {
    }
    return UsageError(path +
                      ": expected a JSON object with \"bytes\" as `hlt dump --json` "
                      "writes it");
}

}  // namespace

std::string BlockDumpText(const std::string& rom, const HltBlock& block, bool crcOk) {
    std::string text = "# HLT configuration block of " + rom + ", pages 3 to 6 (CRC " +
                       (crcOk ? "matches" : "does not match") + ")\n";
    for (size_t page = 0; page < block.size() / kHltPageSize; ++page) {
        text += HexText(std::span(block.data() + page * kHltPageSize, kHltPageSize)) + "\n";
    }
    return text;
}

CliResult<HltBlock> ReadBlockFile(const std::string& path) {
    const auto text = ReadTextFile(path, kMaxUserFileBytes);
    if (!text) {
        return UsageError("the block file " + path + " " + text.error().message);
    }
    const auto hex = HexOf(path, *text);
    if (!hex) {
        return hex.error();
    }
    const auto bytes = ParseHexBytes(*hex);
    if (!bytes || bytes->size() != kHltBlockSize) {
        return UsageError(path +
                          ": expected the 32 bytes of the block as two-digit hexadecimal "
                          "numbers" +
                          (bytes ? ", found " + std::to_string(bytes->size()) : std::string()));
    }
    HltBlock block{};
    std::copy(bytes->begin(), bytes->end(), block.begin());
    return block;
}

}  // namespace velgrin::cli
