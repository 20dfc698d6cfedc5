#pragma once

#include <string>
#include <vector>

namespace velgrin::cli {

// One line of a text table: each cell padded to its column's width (the last cell is not),
// two blanks between columns, no blanks at the end.
std::string TableRow(const std::vector<std::string>& cells, const std::vector<size_t>& widths);

}  // namespace velgrin::cli
