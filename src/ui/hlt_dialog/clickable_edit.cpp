#include "ui/hlt_dialog/clickable_edit.h"

#include <QMouseEvent>

namespace velgrin {

void ClickableEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT clicked();
    }
}

}  // namespace velgrin
