#include "ui/qt_host.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "qt_test_app.h"

namespace velgrin {
namespace {

// Runs `answer` on the modal dialog once it is up. Whatever the answer does, or fails to do
// (a failed ASSERT returns early), the dialog is closed afterwards, so exec() never waits for
// a click that will not come.
void WhenModalShows(std::function<void(QWidget*)> answer, int triesLeft = 100) {
    QTimer::singleShot(10, [answer, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (triesLeft > 0) {
                WhenModalShows(answer, triesLeft - 1);
            } else {
                ADD_FAILURE() << "no modal dialog came up";
            }
            return;
        }
        answer(modal);
        if (QApplication::activeModalWidget() == modal) {
            ADD_FAILURE() << "the dialog was left open";
            modal->close();
        }
    });
}

class QtHostTest : public ::testing::Test {
  protected:
    QApplication& app = testing::TestApp();
    QtHost host;
};

TEST_F(QtHostTest, MessageBoxHasTheProgramTitleOneOkButtonAndItsLines) {
    QString title, text;
    int buttons = -1;
    WhenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    host.showMessage("Требуется помощь?\r\nобращайтесь");
    EXPECT_EQ(title, "Velgrin sensor 3.2");
    EXPECT_EQ(text, "Требуется помощь?\nобращайтесь");
    EXPECT_EQ(buttons, 1);
}

TEST_F(QtHostTest, InputBoxGivesTheTypedTextOrThePresetWhenCancelled) {
    WhenModalShows([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Введите коментарий:");
        dialog->setTextValue("Стенд 2");
        dialog->accept();
    });
    EXPECT_EQ(host.inputBox("Введите коментарий:", "Сохранение на диске", "Датчик"), "Стенд 2");

    WhenModalShows([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue("typed, then cancelled");
        dialog->reject();
    });
    EXPECT_EQ(host.inputBox("Введите коментарий:", "Сохранение на диске", "Датчик"), "Датчик");
}

TEST_F(QtHostTest, SaveDialogAppendsWithoutAskingToReplaceAndAddsTheExtension) {
    const QString chosen = QDir::temp().filePath(QStringLiteral("velgrin-numbers"));
    WhenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog->defaultSuffix(), "txt");
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_EQ(host.saveFileName("txt"), (chosen + ".txt").toStdString());
}

}  // namespace
}  // namespace velgrin
