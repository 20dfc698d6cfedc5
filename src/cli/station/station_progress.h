#pragma once

#include <string>

namespace velgrin::cli {

// How many devices a station run has set up, and how.
struct StationCounts {
    int done = 0;
    int alreadySet = 0;
    int failed = 0;

    int total() const { return done + alreadySet + failed; }
};

// "done 3, already set 1, failed 0"
std::string CountsText(const StationCounts& counts);

// The line a technician watches on a terminal: the counts and the device being written, redrawn
// in place on standard error. Off when standard error is no terminal or the output is JSON, so
// that a log or a script gets plain lines only.
class StationProgress {
  public:
    explicit StationProgress(bool enabled) : enabled_(enabled) {}
    ~StationProgress() { clear(); }
    StationProgress(const StationProgress&) = delete;
    StationProgress& operator=(const StationProgress&) = delete;

    // Standard error is a terminal.
    static bool TerminalAttached();

    void show(const StationCounts& counts, const std::string& writing);
    // Takes the line away before other output is written.
    void clear();

  private:
    bool enabled_;
    bool shown_ = false;
};

}  // namespace velgrin::cli
