#include "cli/station/record_summary.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/station/station_record.h"

namespace velgrin::cli {

namespace {

bool IsRomText(const std::string& text) {
    return text.size() == 16 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
           });
}

bool IsResult(const std::string& text) {
    return text == kResultOk || text == kResultAlreadySet || text == kResultFailed;
}

std::optional<RecordEntry> EntryOf(const std::vector<std::string>& fields) {
    if (fields.size() != RecordFieldNames().size()) {
        return std::nullopt;
    }
    RecordEntry entry{fields[0], fields[1], fields[2], fields[3],
                      fields[4], fields[5], fields[6], fields[7]};
    if (!IsRomText(entry.rom) || !IsResult(entry.result)) {
        return std::nullopt;
    }
    return entry;
}

std::optional<RecordEntry> JsonEntry(const std::string& line) {
    const auto document = nlohmann::json::parse(line, nullptr, false);
    if (!document.is_object() || document.size() != RecordFieldNames().size()) {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    for (const std::string& name : RecordFieldNames()) {
        const auto value = document.find(name);
        if (value == document.end() || !value->is_string()) {
            return std::nullopt;
        }
        fields.push_back(value->get<std::string>());
    }
    return EntryOf(fields);
}

std::optional<RecordEntry> CsvEntry(const std::string& line) {
    const auto fields = SplitCsvLine(line);
    return fields ? EntryOf(*fields) : std::nullopt;
}

std::string CsvHeader() {
    std::string header;
    for (const std::string& name : RecordFieldNames()) {
        header += (header.empty() ? "" : ",") + name;
    }
    return header;
}

}  // namespace

RecordSummary SummariseRecord(const std::string& text) {
    RecordSummary summary;
    // Per ROM: its last failure, while no success has followed it.
    std::map<std::string, UnresolvedDevice> open;
    size_t number = 0;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        const bool cut = end == std::string::npos;
        end = cut ? text.size() : end;
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (number == 1 && line == CsvHeader()) {
            summary.csv = true;
            continue;
        }
        if (line.empty() && cut) {
            break;
        }
        std::optional<RecordEntry> entry;
        // A last line without its line break was cut short.
        if (!cut && line.size() <= kMaxRecordLineBytes) {
            entry = summary.csv ? CsvEntry(line) : JsonEntry(line);
        }
        if (!entry) {
            summary.damagedLines.push_back(number);
            continue;
        }
        ++summary.entries;
        ++summary.results[entry->result];
        ++summary.kinds[entry->kind][entry->result];
        if (entry->result == kResultFailed) {
            open[entry->rom] = {entry->rom, entry->kind, entry->reason, number};
        } else {
            open.erase(entry->rom);
        }
    }
    for (const auto& [rom, device] : open) {
        summary.unresolved.push_back(device);
    }
    std::sort(summary.unresolved.begin(), summary.unresolved.end(),
              [](const auto& a, const auto& b) { return a.line < b.line; });
    return summary;
}

}  // namespace velgrin::cli
