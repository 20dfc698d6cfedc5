#pragma once

#include <string>

namespace velgrin::cli {

// The tool speaks English while the core words its messages, statuses and type names as the
// window shows them. Translates such a text line by line (lines joined with ": "); a line the
// tool does not know is kept as it stands.
std::string EnglishText(const std::string& coreText);

}  // namespace velgrin::cli
