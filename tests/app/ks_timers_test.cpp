#include "app/ks_timers.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include "qt_test_app.h"
#include "scripted_host.h"
#include "ui/central_exception_handler.h"

namespace velgrin {
namespace {

// Real time: short periods, bounds that only a broken timer misses.
constexpr int kGenerousMs = 5000;

struct Tick {
    uint32_t count;
    bool onGuiThread;
    qint64 atMs;
};

class TksTimerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::TestApp();
        clock_.start();
        timer_.setOnTimer([this](QObject* sender) {
            EXPECT_EQ(sender, &timer_);
            ticks_.push_back(
                {timer_.Count(), QThread::currentThread() == qApp->thread(), clock_.elapsed()});
        });
    }

    bool waitForTicks(size_t n) {
        return QTest::qWaitFor([&] { return ticks_.size() >= n; }, kGenerousMs);
    }

    QElapsedTimer clock_;
    TksTimer timer_;
    std::vector<Tick> ticks_;
};

TEST_F(TksTimerTest, DeliversNumberedTicksInOrderOnTheGuiThreadOnePerPeriod) {
    timer_.setDueTime(20);
    timer_.setPeriod(20);
    timer_.setEnabled(true);
    ASSERT_TRUE(timer_.Enabled());
    ASSERT_TRUE(waitForTicks(5));
    timer_.setEnabled(false);

    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(ticks_[i].count, i + 1) << "tick " << i;
        EXPECT_TRUE(ticks_[i].onGuiThread) << "tick " << i;
    }
    // Five ticks need the due time and four periods at the least.
    EXPECT_GE(ticks_[4].atMs, 20 + 4 * 20);
}

TEST_F(TksTimerTest, ReEnablingCountsTheDueTimeAndTheNumbersAfresh) {
    timer_.setDueTime(100);
    timer_.setPeriod(100);
    timer_.setEnabled(true);
    ASSERT_TRUE(waitForTicks(1));
    timer_.setEnabled(false);
    // Half-way between the old timer's ticks, so a timer that kept its old grid would tick
    // about 50 ms after re-enabling.
    QTest::qWait(150);
    const size_t before = ticks_.size();
    QElapsedTimer sinceReEnabling;
    sinceReEnabling.start();
    timer_.setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks_.size() > before && ticks_.back().count == 1; },
                                kGenerousMs));
    EXPECT_GE(sinceReEnabling.elapsed(), 100);
    timer_.setEnabled(false);
}

TEST_F(TksTimerTest, PeriodAndDueTimeAreIgnoredWhileEnabledAlsoAfterReEnabling) {
    timer_.setDueTime(300);
    timer_.setPeriod(300);
    timer_.setEnabled(true);
    timer_.setDueTime(5);
    timer_.setPeriod(5);
    EXPECT_EQ(timer_.DueTime(), 300u);
    EXPECT_EQ(timer_.Period(), 300u);

    timer_.setEnabled(false);
    QElapsedTimer sinceReEnabling;
    sinceReEnabling.start();
    timer_.setEnabled(true);
    ASSERT_TRUE(waitForTicks(1));
    // With 5 ms the first tick would come at once. A loaded machine only makes ticks later, so
    // the lower bound holds under any load.
    EXPECT_GE(sinceReEnabling.elapsed(), 300);
    timer_.setEnabled(false);
}

TEST_F(TksTimerTest, SwitchedOffLetsAtMostTheCallbackUnderWayThrough) {
    timer_.setDueTime(10);
    timer_.setPeriod(10);
    timer_.setEnabled(true);
    ASSERT_TRUE(waitForTicks(3));
    timer_.setEnabled(false);
    const size_t atSwitchOff = ticks_.size();
    QTest::qWait(100);
    EXPECT_LE(ticks_.size(), atSwitchOff + 1);
    EXPECT_FALSE(timer_.Enabled());
}

TEST_F(TksTimerTest, AnExceptionInATickIsReportedAndTheTicksGoOn) {
    VirtualClock virtualClock;
    testing::ScriptedHost host(virtualClock);
    SetExceptionReportHost(&host);
    timer_.setOnTimer([this](QObject*) {
        ticks_.push_back({timer_.Count(), true, 0});
        if (ticks_.size() == 1) {
            throw std::runtime_error("the bus went away");
        }
    });
    timer_.setDueTime(10);
    timer_.setPeriod(10);
    timer_.setEnabled(true);
    EXPECT_TRUE(waitForTicks(3));
    timer_.setEnabled(false);
    SetExceptionReportHost(nullptr);

    EXPECT_EQ(host.messages, std::vector<std::string>{"the bus went away"});
}

TEST(TksTimerLifetime, DestroyingARunningTimerDeliversNothingAfterwards) {
    testing::TestApp();
    int ticks = 0;
    {
        TksTimer timer;
        timer.setDueTime(1);
        timer.setPeriod(1);
        timer.setOnTimer([&](QObject*) { ++ticks; });
        timer.setEnabled(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, kGenerousMs));
    }
    const int atDestruction = ticks;
    QTest::qWait(50);
    EXPECT_EQ(ticks, atDestruction);
}

}  // namespace
}  // namespace velgrin
