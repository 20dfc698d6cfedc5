#include "ui/qt_host.h"

#include <chrono>
#include <thread>

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "ui/central_exception_handler.h"

namespace velgrin {

namespace {

// Texts carry Windows line breaks; Qt breaks lines at \n alone.
QString DisplayText(const std::string& text) {
    QString shown = QString::fromUtf8(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

// Russian dialogs write OK in Cyrillic letters; Qt's Russian translation keeps the Latin ones.
const QString kOkCaption = QStringLiteral("ОК");

// Qt's Russian translation has no words for the kinds the save dialog's type column names
// besides files (whose kinds come from the system's MIME database).
class RussianFileKinds : public QFileIconProvider {
  public:
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) {
            return QStringLiteral("Диск");
        }
        if (info.isFile()) {
            return QFileIconProvider::type(info);
        }
        if (info.isDir()) {
            return QStringLiteral("Папка");
        }
        return info.isSymLink() ? QStringLiteral("Ярлык") : QFileIconProvider::type(info);
    }
};

// What a title bar holds besides its caption: the icon, three buttons and the padding between.
constexpr int kTitleBarRoom = 160;

// Wide enough that the window system's title bar shows the caption whole; window managers draw
// captions in a bold font about the size of the application's.
int WidthForCaption(const QString& caption) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    return QFontMetrics(titleFont).horizontalAdvance(caption) + kTitleBarRoom;
}

}  // namespace

QWidget* QtHost::askingWindow() {
    if (QWidget* active = QApplication::activeWindow(); active != nullptr && active->isVisible()) {
        asker_ = active;
        return active;
    }
    if (asker_ != nullptr && asker_->isVisible()) {
        return asker_;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() == Qt::Window) {
            asker_ = window;
            return window;
        }
    }
    return nullptr;
}

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
    // A dialog with a parent is centred over the parent's window when it shows.
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), DisplayText(text),
                    QMessageBox::Ok, askingWindow());
    box.button(QMessageBox::Ok)->setText(kOkCaption);
    box.exec();
}

std::string QtHost::inputBox(const std::string& caption, const std::string& prompt,
                             const std::string& preset) {
    QInputDialog dialog(askingWindow());
    dialog.setWindowTitle(QString::fromUtf8(caption));
    dialog.setLabelText(DisplayText(prompt));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(QString::fromUtf8(preset));
    dialog.setOkButtonText(kOkCaption);
    // The dialog sets its own minimum size from its layout: widen the prompt's place instead.
    if (auto* prompt = dialog.findChild<QLabel*>()) {
        prompt->setMinimumWidth(WidthForCaption(dialog.windowTitle()));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return preset;
    }
    return dialog.textValue().toStdString();
}

std::optional<std::string> QtHost::saveFileName(const std::string& defaultExtension) {
    QFileDialog dialog(askingWindow());
    RussianFileKinds kinds;
    dialog.setIconProvider(&kinds);
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

void QtHost::reportException(std::exception_ptr error) {
    HandleException(nullptr, error);
}

}  // namespace velgrin
