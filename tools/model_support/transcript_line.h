#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velgrin {

// A mocked bus notes one line per request. A long session (the emulator serving a window for
// hours) keeps the latest lines only: past the limit, the older half goes.
inline void AppendLine(std::vector<std::string>& transcript, std::string line) {
    constexpr size_t kMostLines = 200'000;
    if (transcript.size() >= kMostLines) {
        transcript.erase(transcript.begin(), transcript.begin() + kMostLines / 2);
    }
    transcript.push_back(std::move(line));
}

}  // namespace velgrin
