#pragma once

#include <QColor>
#include <QWidget>

namespace velgrin {

// A filled outline, circle or rectangle, that shows a state by its colour (the poll and timer
// indicators, the registration bar).
class ShapeWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)

  public:
    enum class Kind { Rectangle, Circle };

    explicit ShapeWidget(Kind kind, QWidget* parent = nullptr);

    QColor fillColor() const { return fill_; }
    void setFillColor(const QColor& color);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Kind kind_;
    QColor fill_ = Qt::white;
};

}  // namespace velgrin
