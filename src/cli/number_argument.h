#pragma once

#include <string>

namespace velgrin::cli {

// A number typed on the command line, made readable by the program's number reader: a decimal
// point is taken for the decimal comma, unless the text already has a comma.
std::string ProgramNumberText(std::string text);

}  // namespace velgrin::cli
