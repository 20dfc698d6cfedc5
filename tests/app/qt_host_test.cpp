#include "app/qt_host.h"

#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "qt_test_app.h"

namespace velgrin {
namespace {

// Runs `answer` on the modal dialog once it is up.
void WhenModalShows(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        answer(modal);
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

}  // namespace
}  // namespace velgrin
