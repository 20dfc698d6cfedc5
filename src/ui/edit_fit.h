#pragma once

class QLineEdit;

namespace velgrin {

// An edit narrower than a text it may hold (a computed scaling with fifteen digits) keeps that
// text whole in its tooltip while it does not fit, so the digits past its right edge can be read.
void ShowLongTextInToolTip(QLineEdit& edit);

}  // namespace velgrin
