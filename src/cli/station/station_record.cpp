#include "cli/station/station_record.h"

#include <sys/stat.h>

#include <ctime>
#include <nlohmann/json.hpp>

namespace velgrin::cli {

namespace {

// Cuts before `limit` bytes without splitting a UTF-8 sequence; invalid bytes are left to the
// JSON writer's replacement and to CSV as they are.
std::string Bounded(const std::string& text) {
    if (text.size() <= kMaxRecordFieldBytes) {
        return text;
    }
    size_t end = kMaxRecordFieldBytes - 3;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end) + "...";
}

// A CSV field never holds a control character: a line break would split the record's line.
std::string CsvField(const std::string& text) {
    std::string field = "\"";
    for (const char c : Bounded(text)) {
        if (c == '"') {
            field += "\"\"";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            field += ' ';
        } else {
            field += c;
        }
    }
    return field + "\"";
}

std::vector<std::string> Fields(const RecordEntry& e) {
    return {e.time, e.port, e.rom, e.kind, e.asked, e.readBack, e.result, e.reason};
}

std::string TwoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

}  // namespace

const std::vector<std::string>& RecordFieldNames() {
    static const std::vector<std::string> names{"time",  "port",      "rom",    "kind",
                                                "asked", "read_back", "result", "reason"};
    return names;
}

std::string RecordLine(const RecordEntry& entry, RecordFormat format) {
    const std::vector<std::string> fields = Fields(entry);
    const std::vector<std::string>& names = RecordFieldNames();
    if (format == RecordFormat::kJsonLines) {
        nlohmann::ordered_json line = nlohmann::ordered_json::object();
        for (size_t i = 0; i < fields.size(); ++i) {
            line[names[i]] = Bounded(fields[i]);
        }
        return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : ",") + CsvField(field);
    }
    return line + "\n";
}

std::optional<std::vector<std::string>> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (true) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            while (true) {
                if (i >= line.size()) {
                    return std::nullopt;  // no closing quote
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            if (i < line.size() && line[i] != ',') {
                return std::nullopt;  // text after a closing quote
            }
        } else {
            while (i < line.size() && line[i] != ',') {
                if (line[i] == '"') {
                    return std::nullopt;
                }
                field += line[i++];
            }
        }
        fields.push_back(std::move(field));
        if (i >= line.size()) {
            return fields;
        }
        ++i;  // the comma
    }
}

Result<void, AppendError> AppendRecord(const std::string& path, RecordFormat format,
                                       const RecordEntry& entry) {
    std::string text = RecordLine(entry, format);
    struct stat info {};
    const bool fresh = ::stat(path.c_str(), &info) != 0 || info.st_size == 0;
    if (format == RecordFormat::kCsv && fresh) {
        std::string header;
        for (const std::string& name : RecordFieldNames()) {
            header += (header.empty() ? "" : ",") + name;
        }
        text.insert(0, header + "\n");
    }
    return AppendWholeText(path, text);
}

std::string RecordTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (gmtime_r(&now, &utc) == nullptr) {
        return "";
    }
    return std::to_string(utc.tm_year + 1900) + "-" + TwoDigits(utc.tm_mon + 1) + "-" +
           TwoDigits(utc.tm_mday) + "T" + TwoDigits(utc.tm_hour) + ":" + TwoDigits(utc.tm_min) +
           ":" + TwoDigits(utc.tm_sec) + "Z";
}

}  // namespace velgrin::cli
