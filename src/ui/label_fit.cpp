#include "ui/label_fit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QVariant>

namespace velgrin {

namespace {

constexpr const char* kGivenTextProperty = "velgrinGivenText";

int TextRoom(const QLabel& label) {
    return label.contentsRect().width() - 2 * label.margin() - qMax(label.indent(), 0);
}

}  // namespace

void ShowFitted(QLabel& label, const QString& text) {
    label.setProperty(kGivenTextProperty, text);
    const QFontMetrics metrics(label.font());
    if (label.wordWrap() || text.contains(QLatin1Char('\n')) ||
        metrics.horizontalAdvance(text) <= TextRoom(label)) {
        label.setText(text);
        label.setToolTip(QString());
        return;
    }
    label.setText(metrics.elidedText(text, Qt::ElideRight, TextRoom(label)));
    label.setToolTip(text);
}

QString GivenText(const QLabel& label) {
    const QVariant given = label.property(kGivenTextProperty);
    // A label never filled through ShowFitted shows its caption as it stands.
    return given.isValid() ? given.toString() : label.text();
}

}  // namespace velgrin
