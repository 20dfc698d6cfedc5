#include "ui/shape_widget.h"

#include <QPainter>

namespace velgrin {

ShapeWidget::ShapeWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

void ShapeWidget::setFillColor(const QColor& color) {
    if (color == fill_) {
        return;
    }
    fill_ = color;
    update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, kind_ == Kind::Circle);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(fill_);
    // The pen straddles the edge; keep the whole outline inside the widget.
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (kind_ == Kind::Circle) {
        painter.drawEllipse(area);
    } else {
        painter.drawRect(area);
    }
}

}  // namespace velgrin
