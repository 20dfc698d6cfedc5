#include "ui/qt_host.h"

#include <chrono>
#include <thread>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace velgrin {

namespace {

// Texts carry Windows line breaks; Qt breaks lines at \n alone.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

}  // namespace

uint32_t QtHost::tickCount() {
    return static_cast<uint32_t>(clock_.nowMs());
}

void QtHost::sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtHost::yieldBusyWait() {
    // A busy wait polls the session on every pass; a short nap keeps it from spinning a core.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void QtHost::processMessages() {
    QCoreApplication::processEvents();
}

void QtHost::showMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), DisplayText(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

std::string QtHost::inputBox(const std::string& caption, const std::string& prompt,
                             const std::string& preset) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(
        QApplication::activeWindow(), QString::fromUtf8(caption), DisplayText(prompt),
        QLineEdit::Normal, QString::fromUtf8(preset), &accepted);
    return accepted ? answer.toStdString() : preset;
}

std::optional<std::string> QtHost::saveFileName(const std::string& defaultExtension) {
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program appends to the file it is given: asking whether to replace it would scare a
    // technician away from the log they want to continue.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QString suffix = QString::fromUtf8(defaultExtension);
    dialog.setDefaultSuffix(suffix);
    if (!suffix.isEmpty()) {
        dialog.setNameFilters({QStringLiteral("*.") + suffix, QStringLiteral("*")});
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

void QtHost::beep() {
    QApplication::beep();
}

void QtHost::setBusyCursor(bool busy) {
    // Override cursors stack; keep exactly one of ours at most.
    if (busy == busyCursor_) {
        return;
    }
    busyCursor_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtHost::openUrl(const std::string& url) {
    // A link that does not open is not reported.
    (void)QDesktopServices::openUrl(QUrl(QString::fromUtf8(url)));
}

}  // namespace velgrin
