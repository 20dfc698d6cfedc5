#pragma once

#include <QString>

class QLabel;

namespace velgrin {

// A one-line label of fixed size shows a text it cannot hold elided, ending in "…", with the
// whole text in its tooltip: a number cut off silently would read as another number.
void ShowFitted(QLabel& label, const QString& text);

// The text last given to the label, whole, whatever part of it is shown.
QString GivenText(const QLabel& label);

}  // namespace velgrin
