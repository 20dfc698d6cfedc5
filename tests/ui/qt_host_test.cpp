#include "ui/qt_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include "qt_test_app.h"
#include "scripted_host.h"
#include "ui/central_exception_handler.h"
#include "ui/standard_dialog_texts.h"

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

TEST_F(QtHostTest, AnExceptionIsReportedThroughTheCentralHandler) {
    VirtualClock clock;
    testing::ScriptedHost reports(clock);
    SetExceptionReportHost(&reports);
    host.reportException(std::make_exception_ptr(std::runtime_error("poll went wrong")));
    SetExceptionReportHost(nullptr);
    EXPECT_EQ(reports.messages, std::vector<std::string>{"poll went wrong"});
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

// Every text Qt itself shows in a dialog: its title, labels, button captions and tooltips, the
// column headers of its lists.
QStringList ShownTexts(QWidget* dialog) {
    QStringList texts{dialog->windowTitle()};
    // Without the marks of keyboard shortcuts.
    for (auto* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisible()) {
            texts << label->text().remove(QLatin1Char('&'));
        }
    }
    for (auto* button : dialog->findChildren<QAbstractButton*>()) {
        if (button->isVisible()) {
            texts << button->text().remove(QLatin1Char('&')) << button->toolTip();
        }
    }
    for (auto* header : dialog->findChildren<QHeaderView*>()) {
        if (header->isVisible() && header->model() != nullptr) {
            for (int section = 0; section < header->count(); ++section) {
                texts << header->model()
                             ->headerData(section, header->orientation(), Qt::DisplayRole)
                             .toString();
            }
        }
    }
    return texts;
}

// The Latin words among `texts`, leaving out the program's own texts in `given`.
std::string EnglishWords(const QStringList& texts, const QStringList& given) {
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QStringList words;
    for (const QString& text : texts) {
        if (given.contains(text)) {
            continue;
        }
        for (const auto& match : word.globalMatch(text)) {
            words << match.captured() + " in \"" + text + "\"";
        }
    }
    return words.join(QStringLiteral(", ")).toStdString();
}

// The program's boxes with Qt's Russian texts loaded, as the program starts.
class RussianStandardDialogs : public QtHostTest {
  protected:
    static void SetUpTestSuite() {
        (void)testing::TestApp();
        ASSERT_EQ(LoadStandardDialogTexts(), QString());
    }
};

TEST_F(RussianStandardDialogs, NoEnglishWordInAnyBoxATechnicianCanOpen) {
    const QString caption = QStringLiteral("Введите коментарий:");
    const QString prompt = QStringLiteral("Сохранение на диске");
    QStringList input, message, save;
    WhenModalShows([&](QWidget* modal) {
        input = ShownTexts(modal);
        static_cast<QDialog*>(modal)->reject();
    });
    (void)host.inputBox(caption.toStdString(), prompt.toStdString(), "Датчик");
    WhenModalShows([&](QWidget* modal) {
        message = ShownTexts(modal);
        static_cast<QDialog*>(modal)->accept();
    });
    host.showMessage("Неверное значение!");
    QStringList kinds;
    WhenModalShows([&](QWidget* modal) {
        save = ShownTexts(modal);
        // What the type column says of a folder and of the root.
        const auto* provider = static_cast<QFileDialog*>(modal)->iconProvider();
        kinds << provider->type(QFileInfo(QDir::tempPath())) << provider->type(QFileInfo("/"));
        static_cast<QDialog*>(modal)->reject();
    });
    (void)host.saveFileName("txt");

    EXPECT_EQ(EnglishWords(input, {caption, prompt}), "");
    // The program's title is its name.
    EXPECT_EQ(EnglishWords(message, {QString::fromUtf8(kApplicationTitle)}), "");
    EXPECT_EQ(EnglishWords(save, {}), "");
    EXPECT_EQ(EnglishWords(kinds, {}), "");
    // Qt's texts are there to be checked: the buttons read as a Russian technician expects.
    EXPECT_TRUE(input.contains(QStringLiteral("Отмена"))) << input.join('|').toStdString();
    EXPECT_TRUE(save.contains(QStringLiteral("Имя файла:"))) << save.join('|').toStdString();
}

TEST_F(QtHostTest, InputBoxLeavesRoomForItsWholeCaptionAndPrompt) {
    const QString caption = QStringLiteral("Датчика влажности Zero ofset");
    int width = 0;
    QString cut;
    WhenModalShows([&](QWidget* modal) {
        width = modal->width();
        for (auto* label : modal->findChildren<QLabel*>()) {
            if (label->width() < label->sizeHint().width()) {
                cut = label->text();
            }
        }
        static_cast<QDialog*>(modal)->reject();
    });
    (void)host.inputBox(caption.toStdString(), "0 - ТОКОВЫЙ вход\r\n1 - Вход по НАПРЯЖЕНИЮ", " ");

    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    // A title bar also holds an icon and three buttons.
    EXPECT_GE(width, QFontMetrics(titleFont).horizontalAdvance(caption) + 3 * 24);
    EXPECT_EQ(cut, QString());
}

TEST_F(QtHostTest, EveryBoxIsCentredOverTheWindowThatAskedAlsoWhenNoWindowIsActive) {
    QWidget window;
    // Room around it on the test screen for every box, the save dialog too.
    window.setGeometry(150, 40, 500, 525);
    window.show();
    QApplication::setActiveWindow(&window);
    std::vector<QPoint> offsets;
    std::vector<QWidget*> parents;
    const auto note = [&](QWidget* modal) {
        offsets.push_back(modal->geometry().center() - window.geometry().center());
        parents.push_back(modal->parentWidget());
        static_cast<QDialog*>(modal)->reject();
    };
    WhenModalShows(note);
    (void)host.inputBox("Канал 1", "МИНимальное значение датчика", "0,");
    // Between two prompts the window system has not yet handed activation back.
    QApplication::setActiveWindow(nullptr);
    WhenModalShows(note);
    (void)host.inputBox("Канал 1", "МАКСимальное значение датчика", "0,");
    WhenModalShows(note);
    host.showMessage("Неверное значение!");
    WhenModalShows(note);
    (void)host.saveFileName("txt");

    ASSERT_EQ(offsets.size(), 4u);
    for (size_t i = 0; i < offsets.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(parents[i], &window);
        EXPECT_LE(offsets[i].manhattanLength(), 2);
    }
}

}  // namespace
}  // namespace velgrin
