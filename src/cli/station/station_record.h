#pragma once

#include <optional>
#include <string>
#include <vector>

#include "numberlog/whole_append.h"

namespace velgrin::cli {

// One attempt at one device, as the station's record keeps it.
struct RecordEntry {
    std::string time;  // UTC, "2026-12-09T14:03:07Z"
    std::string port;  // the --port text the station ran on
    std::string rom;
    std::string kind;
    std::string asked;     // what was to be written
    std::string readBack;  // what the device held afterwards; empty when nothing came back
    std::string result;    // kResultOk, kResultAlreadySet or kResultFailed
    std::string reason;    // why it failed; empty otherwise
};

inline constexpr const char* kResultOk = "OK";
inline constexpr const char* kResultAlreadySet = "already set";
inline constexpr const char* kResultFailed = "failed";

enum class RecordFormat { kJsonLines, kCsv };

// No text field of a record line is longer than this, in bytes; a longer one is cut short at a
// character boundary and ends in "...".
inline constexpr size_t kMaxRecordFieldBytes = 512;

// The names of the fields, in the order of a CSV line; the CSV file's header line.
const std::vector<std::string>& RecordFieldNames();

// One line of the record, with its line break. Every field is bounded; line breaks and other
// control characters never reach the file as such.
std::string RecordLine(const RecordEntry& entry, RecordFormat format);

// The fields of a CSV line (without its line break) when it is well formed: quoted or bare
// fields, doubled quotes inside quoted ones.
std::optional<std::vector<std::string>> SplitCsvLine(const std::string& line);

// Appends the entry whole: a new CSV file gets its header line in the same append.
Result<void, AppendError> AppendRecord(const std::string& path, RecordFormat format,
                                       const RecordEntry& entry);

// The current time as the record writes it.
std::string RecordTimeNow();

}  // namespace velgrin::cli
