#pragma once

#include <QLineEdit>

namespace velgrin {

// An edit that reports a click into it, so that touching a setting can stop the poll before the
// user has typed anything.
class ClickableEdit : public QLineEdit {
    Q_OBJECT

  public:
    using QLineEdit::QLineEdit;

  Q_SIGNALS:
    void clicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace velgrin
