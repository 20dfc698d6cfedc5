#pragma once

#include <string>

namespace velgrin::cli {

// The text with every control character written as an escape ("\x1B", "\u009B"), and every
// byte that is not UTF-8 as "\xNN", so that a value a user or a file gave can never move the
// cursor, recolour or retitle a terminal. Line breaks stay where `keepLineBreaks` says so.
std::string TerminalText(const std::string& text, bool keepLineBreaks);

}  // namespace velgrin::cli
