#include "common/retry_rule.h"

#include <gtest/gtest.h>

#include "scripted_host.h"

namespace velgrin {
namespace {

struct RuleCase {
    const char* what;
    Attempt each;        // what every attempt ends with
    uint32_t attemptMs;  // how long each takes
    uint32_t commandMs;  // the command's allowance for repeats (0: none set)
    int attempts;        // how many run
};

const RuleCase kCases[]{
    {"done at once", Attempt::Done, 10, 0, 1},
    {"final at once: never repeated", Attempt::Final, 10, 0, 1},
    {"quick repeats: the count bounds them", Attempt::Repeatable, 10, 0, kTransactionAttempts},
    // Starts at 0, 2500 and 5000 ms; at 7500 the window is over.
    {"slow repeats: the window bounds them", Attempt::Repeatable, 2500, 0, 3},
    // Repeats have cost 600, then 1200 ms of the command's 1000.
    {"the command's allowance bounds them", Attempt::Repeatable, 600, 1000, 3},
};

TEST(RetryRule, RepeatsOnlyWhatMayBeRepeatedWithinCountWindowAndAllowance) {
    for (const RuleCase& c : kCases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        testing::ScriptedHost host(clock);
        RetryRule rule;
        if (c.commandMs > 0) {
            rule.limitRepeatsTo(c.commandMs);
        }
        int ran = 0;
        int pauses = 0;
        const Attempt end = rule.run(
            host,
            [&] {
                ++ran;
                host.sleep(c.attemptMs);
                return c.each;
            },
            [&] { ++pauses; });
        EXPECT_EQ(end, c.each);
        EXPECT_EQ(ran, c.attempts);
        EXPECT_EQ(pauses, c.attempts - 1);
    }
}

// Each attempt runs an inner transaction of two 200 ms attempts, the first repeated. The
// allowance of 1100 ms is spent after the first attempt (200 ms of inner repeat), then about 600,
// 1000 and 1400 ms: four attempts. An inner repeat counted twice would stop it at three.
TEST(RetryRule, ARunInsideARepeatIsCountedOnce) {
    VirtualClock clock;
    testing::ScriptedHost host(clock);
    RetryRule rule;
    rule.limitRepeatsTo(1100);
    int ran = 0;
    const Attempt end = rule.run(host, [&] {
        ++ran;
        int inner = 0;
        (void)rule.run(host, [&] {
            host.sleep(200);
            return DoneOr(++inner == 2);
        });
        return Attempt::Repeatable;
    });
    EXPECT_EQ(end, Attempt::Repeatable);
    EXPECT_EQ(ran, 4);
}

TEST(RetryRule, ARepeatThatWorksEndsTheRun) {
    VirtualClock clock;
    testing::ScriptedHost host(clock);
    RetryRule rule;
    int ran = 0;
    EXPECT_EQ(rule.run(host, [&] { return DoneOr(++ran == 3); }), Attempt::Done);
    EXPECT_EQ(ran, 3);
}

}  // namespace
}  // namespace velgrin
