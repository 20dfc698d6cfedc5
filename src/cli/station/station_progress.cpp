#include "cli/station/station_progress.h"

#include <unistd.h>

#include <iostream>

#include "cli/terminal_text.h"

namespace velgrin::cli {

std::string CountsText(const StationCounts& counts) {
    return "done " + std::to_string(counts.done) + ", already set " +
           std::to_string(counts.alreadySet) + ", failed " + std::to_string(counts.failed);
}

bool StationProgress::TerminalAttached() {
    return ::isatty(STDERR_FILENO) == 1;
}

void StationProgress::show(const StationCounts& counts, const std::string& writing) {
    if (!enabled_) {
        return;
    }
    std::string line = CountsText(counts);
    line += writing.empty() ? "; waiting for a device" : "; writing " + writing;
    std::cerr << "\r\x1B[K" << TerminalText(line, false) << std::flush;
    shown_ = true;
}

void StationProgress::clear() {
    if (shown_) {
        std::cerr << "\r\x1B[K" << std::flush;
        shown_ = false;
    }
}

}  // namespace velgrin::cli
