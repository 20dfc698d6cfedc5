#pragma once

#include <QString>

namespace velgrin {

// Both windows are laid out at fixed places for Tahoma 8 pt (and its bold for the temperature);
// a wider fallback font cuts their texts. Debian's fonts-wine ships a metric-compatible Tahoma
// with Cyrillic glyphs outside fontconfig's folders, so the program registers it for itself.
// Returns an empty text when Tahoma is available, otherwise a note for the user.
QString LoadWindowFonts(const QString& folder);
// The same from the folder where fonts-wine installs it.
QString LoadWindowFonts();

}  // namespace velgrin
