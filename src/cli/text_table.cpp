#include "cli/text_table.h"

namespace velgrin::cli {

std::string TableRow(const std::vector<std::string>& cells, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
        line += cells[i];
        if (i + 1 < cells.size()) {
            const size_t width = i < widths.size() ? widths[i] : 0;
            line += std::string(cells[i].size() < width ? width - cells[i].size() : 0, ' ') + "  ";
        }
    }
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line + "\n";
}

}  // namespace velgrin::cli
