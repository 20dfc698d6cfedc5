#pragma once

#include <QString>

namespace velgrin {

// Qt's own texts in its standard dialogs (buttons, the save dialog's labels and tooltips) come
// from Qt's translation files; untranslated they are English in a Russian program. Debian's
// qt6-translations-l10n ships them. Installs Qt's Russian translation from `folder` into the
// application, whatever the desktop's language, as every other text of the program is Russian.
// Returns an empty text when it was loaded, otherwise a note for the user.
QString LoadStandardDialogTexts(const QString& folder);
// The same from Qt's translations folder.
QString LoadStandardDialogTexts();

}  // namespace velgrin
