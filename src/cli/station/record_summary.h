#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace velgrin::cli {

// The largest record `record show` reads: some 60 000 lines of a busy bench.
inline constexpr size_t kMaxRecordFileBytes = 16 * 1024 * 1024;
// A longer line is no line the station wrote.
inline constexpr size_t kMaxRecordLineBytes = 32 * 1024;

// A device whose last attempts failed and that was never set up after them.
struct UnresolvedDevice {
    std::string rom;
    std::string kind;
    std::string reason;  // of its last failure
    size_t line = 0;     // where that failure is
};

struct RecordSummary {
    bool csv = false;
    size_t entries = 0;                                       // lines read as records
    std::map<std::string, int> results;                       // per result
    std::map<std::string, std::map<std::string, int>> kinds;  // per kind, per result
    std::vector<UnresolvedDevice> unresolved;                 // in the order they failed
    std::vector<size_t> damagedLines;                         // line numbers, from 1
};

// Reads a record in either form (a CSV record begins with its header line). A line that is not
// a record of the station (damaged, cut short, from another program) is counted and named by its
// number; the rest is read as usual.
RecordSummary SummariseRecord(const std::string& text);

}  // namespace velgrin::cli
