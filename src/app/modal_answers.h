#pragma once

#include <deque>

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace velgrin {

// While it lives, answers the modal boxes that come up as a technician would: an input box with
// the next of `answers`, a message box with OK, the save dialog with Cancel. Before answering the
// first input box and the first save dialog it saves their pictures, as the screen shows them
// with the caption the window manager draws, to `inputBoxFile` and `saveDialogFile` (an empty
// name takes no picture).
class ModalAnswers : public QObject {
  public:
    ModalAnswers(std::deque<QString> answers, QString inputBoxFile = {},
                 QString saveDialogFile = {});

    // False when a picture could not be written or a box asked for more answers than given.
    bool allWell() const { return allWell_; }

  private:
    void look();
    void answer(QWidget& modal);
    void shoot(QWidget& modal, QString& file);

    std::deque<QString> answers_;
    QString inputBoxFile_;
    QString saveDialogFile_;
    QTimer timer_;
    QPointer<QWidget> seen_;
    QElapsedTimer seenFor_;
    bool allWell_ = true;
};

}  // namespace velgrin
