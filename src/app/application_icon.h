#pragma once

#include <QIcon>

namespace velgrin {

// The program's icon for its windows' title bars: the icon theme's "velgrin" where it is
// installed, else the PNG sizes built into the program, which need no SVG image plugin.
QIcon ApplicationIcon();

}  // namespace velgrin
