#pragma once

#include <set>
#include <string>

namespace velgrin::testing {

// The whole text of a file; empty when it cannot be read.
std::string ReadText(const std::string& path);

// The long options ("--port") a text names.
std::set<std::string> LongOptionsIn(const std::string& text);

// The long options a built manual page (roff) names for its own program: everywhere but under
// EXAMPLES, where only lines that run `program` count, up to a " -- " before the command they run,
// as other programs may appear there.
std::set<std::string> PageOptions(const std::string& roff, const std::string& program);

// The port kinds the PORTS section of a page names as entries ("sim", "sim:FILE" give "sim").
std::set<std::string> PagePortKinds(const std::string& roff);

}  // namespace velgrin::testing
