#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

#include "window_rig.h"

namespace velgrin {
namespace {

const std::string kHelp =
    "Требуется помощь?\r\nобращайтесь в службу техподдержки\r\nили пишите на адрес\r\n"
    "support@corvane.example.org";

class StartUp : public ::testing::Test, public testing::WindowRig {};

TEST_F(StartUp, BeforeTheFirstTickShowsNothingConnectedAndTouchesNoBus) {
    EXPECT_EQ(window.windowTitle().toStdString(), "Velgrin V3.2 FOR MANAGER");
    EXPECT_EQ(ui().text("stat11"), "Не подключен");
    EXPECT_EQ(ui().text("Stat1"), "");
    EXPECT_EQ(ui().text("lblT1820"), "--,--");
    for (const char* list : {"cmb1820", "cmbhlt", "cmbSN", "cmbDs192x"}) {
        EXPECT_TRUE(Items(list).isEmpty()) << list;
        EXPECT_EQ(ui().text(list), "") << list;
    }
    EXPECT_FALSE(ui().enabled("btn1820wr"));
    EXPECT_FALSE(ui().visible("Progress_wr_1820"));
    EXPECT_EQ(bench->bus().resets(), 0u);
}

TEST_F(StartUp, TabsArePlacedAndEnabledForAnEmptyBenchWithTheFirstSelected) {
    struct Expected {
        const char* page;
        const char* caption;
        bool visible;
        bool enabled;
    };
    const Expected pages[] = {{"ds1820", "ds1820", true, true}, {"HLT", "DS2438", true, false},
                              {"Reg", "Reg", true, false},      {"ds192x", "ds192x", false, false},
                              {"Настр", "Настр", true, true},   {"TabInfo", "Инфо", true, true}};
    auto* tabs = Find<QTabWidget>("pgc1");
    ASSERT_EQ(tabs->count(), 6);
    for (int i = 0; i < 6; ++i) {
        const Expected& page = pages[i];
        EXPECT_EQ(tabs->widget(i)->objectName().toStdString(), page.page);
        EXPECT_EQ(tabs->tabText(i).toStdString(), page.caption);
        EXPECT_EQ(ui().visible(page.page), page.visible) << page.page;
        EXPECT_EQ(ui().enabled(page.page), page.enabled) << page.page;
    }
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(StartUp, PortListsHoldTheirItemsWithNoneSelected) {
    QStringList ports;
    for (int port = 1; port <= 12; ++port) {
        ports << QString::number(port);
    }
    EXPECT_EQ(Items("cbbPort"), ports);
    EXPECT_EQ(Items("cbAdapter"),
              QStringList({"DS9097E", "Parallel", "--------", "--------", "DS90907U", "USB"}));
    EXPECT_EQ(ui().itemIndex("cbbPort"), -1);
    EXPECT_EQ(ui().itemIndex("cbAdapter"), -1);
}

TEST_F(StartUp, WindowHasItsSizeFontTimersAndAgreement) {
    EXPECT_EQ(window.size(), QSize(327, 367));
    EXPECT_EQ(window.font().family(), "Tahoma");
    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_TRUE(window.tmrg().Enabled());
    EXPECT_EQ(window.tmrg().Period(), 1000u);
    EXPECT_EQ(window.tmrg().DueTime(), 1000u);
    auto* check = window.findChild<QTimer*>("TimerCheckTmr");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->interval(), 200);
    EXPECT_TRUE(check->isActive());

    const QString agreement = Find<QPlainTextEdit>("MemoInfo")->toPlainText();
    EXPECT_TRUE(agreement.contains("DS18S20, DS18B20 и DS1820"));
    EXPECT_TRUE(agreement.contains("support@corvane.example.org"));
    // Start-up appends one empty line.
    EXPECT_TRUE(agreement.endsWith("\n"));
}

TEST_F(StartUp, LinksOpenTheirOwnAddressesOnAClick) {
    for (const char* link : {"txt1", "lbl6", "lblkip"}) {
        QTest::mouseClick(Find<QLabel>(link), Qt::LeftButton);
    }
    EXPECT_EQ(host.openedUrls, (std::vector<std::string>{"https://corvane.example.org/",
                                                         "https://sensors.corvane.example.org/",
                                                         "https://kip.example.org/"}));
    QTest::mouseClick(Find<QLabel>("lbl6"), Qt::RightButton);
    EXPECT_EQ(host.openedUrls.size(), 3u);
}

class KeyF1 : public ::testing::Test, public testing::WindowRig {};

TEST_F(KeyF1, ShowsTheHelpWithoutCtrlWhateverElseIsHeld) {
    for (auto modifiers : {Qt::NoModifier, Qt::ShiftModifier, Qt::AltModifier}) {
        QTest::keyClick(&window, Qt::Key_F1, modifiers);
    }
    EXPECT_EQ(host.messages, std::vector<std::string>(3, kHelp));
    EXPECT_EQ(ui().text("stat11"), "Не подключен");
}

TEST_F(KeyF1, WithCtrlRescansAtOnceWhateverElseIsHeld) {
    QTest::keyClick(&window, Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(ui().text("stat11"), "Адаптер найден");
    EXPECT_EQ(Items("cmb1820").size(), 3);

    bench->unplugged = true;
    QTest::keyClick(&window, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ui().text("stat11"), " Проверьте подключение адаптера 1Wire!!!");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(KeyF1, IsSeenOnceWhenAControlHasTheFocusAndOtherKeysDoNothing) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* thresholdBox = Find<QLineEdit>("edt1820up");
    thresholdBox->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), thresholdBox);

    QTest::keyClick(thresholdBox, Qt::Key_F1);
    QTest::keyClick(thresholdBox, Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(host.messages, std::vector<std::string>{kHelp});
    EXPECT_EQ(ui().text("stat11"), "Не подключен");
}

// The real help box takes the focus while it is up and gives none back when it closes.
class FocusTakingHost : public testing::ScriptedHost {
  public:
    using ScriptedHost::ScriptedHost;
    void showMessage(const std::string& text) override {
        ScriptedHost::showMessage(text);
        if (QWidget* focused = QApplication::focusWidget()) {
            focused->clearFocus();
        }
    }
};

TEST(KeyF1WithAModalHelpBox, ShowsTheHelpOnceAndCtrlF1ThenRescans) {
    testing::TestApp();
    VirtualClock clock;
    FocusTakingHost host(clock);
    SetExceptionReportHost(&host);
    TmexDriver driver(testing::BenchRegistry(sim::MakeDemoBench(clock)), PortSpec{"bench", ""});
    TFrmMain window(driver, host);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* thresholdBox = window.findChild<QLineEdit*>("edt1820up");
    thresholdBox->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), thresholdBox);

    QTest::keyClick(thresholdBox, Qt::Key_F1);
    EXPECT_EQ(host.messages, std::vector<std::string>{kHelp});
    QTest::keyClick(&window, Qt::Key_F1, Qt::ControlModifier);
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(window.controls().text("stat11"), "Адаптер найден");
    SetExceptionReportHost(nullptr);
}

}  // namespace
}  // namespace velgrin
