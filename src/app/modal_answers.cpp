#include "app/modal_answers.h"

#include <cstdio>

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>

namespace velgrin {

namespace {

constexpr int kLookMs = 20;
// Time for a window manager to frame, place and paint a new box.
constexpr int kSettleMs = 400;

}  // namespace

ModalAnswers::ModalAnswers(std::deque<QString> answers, QString inputBoxFile,
                           QString saveDialogFile)
    : answers_(std::move(answers)),
      inputBoxFile_(std::move(inputBoxFile)),
      saveDialogFile_(std::move(saveDialogFile)) {
    connect(&timer_, &QTimer::timeout, this, [this] { look(); });
    timer_.start(kLookMs);
}

void ModalAnswers::look() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
        return;
    }
    if (modal != seen_) {
        seen_ = modal;
        seenFor_.start();
        return;
    }
    if (seenFor_.elapsed() >= kSettleMs) {
        answer(*modal);
    }
}

void ModalAnswers::answer(QWidget& modal) {
    if (auto* input = qobject_cast<QInputDialog*>(&modal)) {
        shoot(modal, inputBoxFile_);
        if (answers_.empty()) {
            allWell_ = false;
            input->reject();
            return;
        }
        input->setTextValue(answers_.front());
        answers_.pop_front();
        input->accept();
    } else if (auto* files = qobject_cast<QFileDialog*>(&modal)) {
        shoot(modal, saveDialogFile_);
        files->reject();
    } else if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
        box->accept();
    }
}

// The screen's picture of the box's frame; without a window manager (or a screen to read) that
// is the box alone.
void ModalAnswers::shoot(QWidget& modal, QString& file) {
    if (file.isEmpty()) {
        return;
    }
    const QRect frame = modal.frameGeometry();
    QPixmap picture =
        modal.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull()) {
        picture = modal.grab();
    }
    if (!picture.save(file)) {
        std::fprintf(stderr, "velgrin: cannot write %s\n", qPrintable(file));
        allWell_ = false;
    }
    file.clear();
}

}  // namespace velgrin
