#include "ui/edit_fit.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>

namespace velgrin {

namespace {

// QLineEdit keeps two pixels free on either side of its text.
constexpr int kInnerMargins = 4;

int TextRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.rect = edit.rect();
    option.lineWidth = edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit);
    const QRect contents =
        edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    return contents.width() - edit.textMargins().left() - edit.textMargins().right() -
           kInnerMargins;
}

void UpdateToolTip(QLineEdit& edit) {
    const bool fits = QFontMetrics(edit.font()).horizontalAdvance(edit.text()) <= TextRoom(edit);
    edit.setToolTip(fits ? QString() : edit.text());
}

}  // namespace

void ShowLongTextInToolTip(QLineEdit& edit) {
    QObject::connect(&edit, &QLineEdit::textChanged, &edit, [&edit] { UpdateToolTip(edit); });
    UpdateToolTip(edit);
}

}  // namespace velgrin
