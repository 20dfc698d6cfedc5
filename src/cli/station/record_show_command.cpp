#include "cli/commands.h"
#include "cli/station/record_summary.h"
#include "cli/station/station_record.h"
#include "common/text_file.h"

namespace velgrin::cli {

namespace {

// Named line numbers stop here; the count says how many there were.
constexpr size_t kNamedDamagedLines = 20;

std::string ResultsText(const std::map<std::string, int>& results) {
    std::string text;
    for (const char* result : {kResultOk, kResultAlreadySet, kResultFailed}) {
        const auto found = results.find(result);
        text += (text.empty() ? "" : ", ") + std::string(result) + " " +
                std::to_string(found == results.end() ? 0 : found->second);
    }
    return text;
}

std::string LinesText(const std::vector<size_t>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kNamedDamagedLines; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(lines[i]);
    }
    if (lines.size() > kNamedDamagedLines) {
        text += " and " + std::to_string(lines.size() - kNamedDamagedLines) + " more";
    }
    return text;
}

}  // namespace

CliResult<ExitStatus> RunRecordShow(CommandContext& context) {
    if (auto words = ExpectWords(context, 1, 1, "the record file"); !words) {
        return words.error();
    }
    const std::string& path = context.words().front();
    const auto text = ReadTextFile(path, kMaxRecordFileBytes);
    if (!text) {
        return UsageError("the record " + path + " " + text.error().message);
    }
    const RecordSummary summary = SummariseRecord(*text);

    nlohmann::json kinds = nlohmann::json::object();
    std::string kindText;
    for (const auto& [kind, results] : summary.kinds) {
        kinds[kind] = results;
        kindText += "  " + kind + ": " + ResultsText(results) + "\n";
    }
    nlohmann::json unresolved = nlohmann::json::array();
    std::string unresolvedText;
    for (const UnresolvedDevice& device : summary.unresolved) {
        unresolved.push_back({{"rom", device.rom},
                              {"kind", device.kind},
                              {"reason", device.reason},
                              {"line", device.line}});
        unresolvedText += "  " + device.rom + "  " + device.kind + "  line " +
                          std::to_string(device.line) + ": " + device.reason + "\n";
    }
    std::string out = path + ": " + std::to_string(summary.entries) + " records (" +
                      (summary.csv ? "CSV" : "JSON Lines") + ")\n" +
                      "results: " + ResultsText(summary.results) + "\n";
    if (!kindText.empty()) {
        out += "per kind:\n" + kindText;
    }
    out += "failed and not set up later: " + std::to_string(summary.unresolved.size()) + "\n" +
           unresolvedText;
    if (!summary.damagedLines.empty()) {
        out += "damaged or foreign lines: " + std::to_string(summary.damagedLines.size()) +
               " (line " + LinesText(summary.damagedLines) + ")\n";
    }
    const std::vector<size_t> named(
        summary.damagedLines.begin(),
        summary.damagedLines.begin() +
            static_cast<long>(std::min(summary.damagedLines.size(), kNamedDamagedLines)));
    context.output().result({{"file", path},
                             {"format", summary.csv ? "csv" : "jsonl"},
                             {"records", summary.entries},
                             {"results", summary.results},
                             {"kinds", kinds},
                             {"unresolved", unresolved},
                             {"damaged", summary.damagedLines.size()},
                             {"damaged_lines", named}},
                            out);
    return summary.unresolved.empty() && summary.damagedLines.empty() ? ExitStatus::kSuccess
                                                                      : ExitStatus::kFailure;
}

}  // namespace velgrin::cli
