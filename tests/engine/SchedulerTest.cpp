// The event loop's scheduler: one precise timer armed for the first task, and when its tasks run.
#include "engine/Scheduler.h"

#include "tests/support/QtTestEnv.h"
#include "tests/support/TestClient.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using test_net::WaitUntil;

// A delay asked for is kept to the millisecond: a coarse timer could fire 3 s off this one.
TEST(EventLoopScheduler, ArmsOnePreciseTimerForTheFirstTaskDue) {
    CEventLoopScheduler scheduler;
    QObject context;
    EXPECT_FALSE(scheduler.Timer().isActive());
    scheduler.After(60'000, &context, [] {});
    ASSERT_TRUE(scheduler.Timer().isActive());
    EXPECT_EQ(scheduler.Timer().timerType(), Qt::PreciseTimer);
    EXPECT_GT(scheduler.Timer().remainingTime(), 30'000);
    scheduler.After(2'500, &context, [] {});
    EXPECT_LE(scheduler.Timer().remainingTime(), 2'500) << "armed again for the earlier task";
    scheduler.After(50'000, &context, [] {});
    EXPECT_LE(scheduler.Timer().remainingTime(), 2'500) << "a later task leaves it as it is";
    EXPECT_EQ(scheduler.Pending(), 3u);
}

TEST(EventLoopScheduler, RunsTasksByDueTimeOnLaterTurnsAndNoneWhoseContextHasGone) {
    CEventLoopScheduler scheduler;
    QObject keeper;
    auto leaver = std::make_unique<QObject>();
    std::vector<std::string> ran;
    const auto note = [&ran](const char* what) { return [&ran, what] { ran.emplace_back(what); }; };
    scheduler.After(400, &keeper, note("400 ms"));
    scheduler.After(0, &keeper, [&] {
        ran.emplace_back("first at once");
        scheduler.After(0, &keeper, note("added by the first"));
    });
    scheduler.After(0, &keeper, note("second at once"));
    scheduler.After(20, leaver.get(), note("its context went"));
    scheduler.After(-5, &keeper, note("a negative delay is none"));
    EXPECT_TRUE(ran.empty()) << "never inside After";
    leaver.reset();
    ASSERT_TRUE(WaitUntil([&] { return scheduler.Pending() == 0; }));
    EXPECT_EQ(ran, (std::vector<std::string>{"first at once", "second at once", "a negative delay is none",
                                             "added by the first", "400 ms"}));
    EXPECT_FALSE(scheduler.Timer().isActive());
}

// A task that keeps adding itself at once lets the event loop's other work through between runs.
TEST(EventLoopScheduler, ATaskThatAddsItselfAtOnceDoesNotHoldTheEventLoop) {
    CEventLoopScheduler scheduler;
    QObject context;
    int runs = 0;
    int runsWhenTheLoopGotThrough = -1;
    std::function<void()> again = [&] {
        if (++runs == 1)
            QMetaObject::invokeMethod(&context, [&] { runsWhenTheLoopGotThrough = runs; }, Qt::QueuedConnection);
        if (runs < 50)
            scheduler.After(0, &context, again);
    };
    scheduler.After(0, &context, again);
    ASSERT_TRUE(WaitUntil([&] { return runs == 50; }));
    EXPECT_GE(runsWhenTheLoopGotThrough, 1);
    EXPECT_LT(runsWhenTheLoopGotThrough, 10);
}

// Hand-moved time runs what falls due; a task that adds itself at the same instant without end ends
// the test at once, where it would otherwise spin until the test's time-out.
TEST(ManualScheduler, RunsWhatFallsDueAndStopsATaskThatNeverLetsTimeMove) {
    CManualScheduler scheduler;
    QObject context;
    std::vector<int64_t> ran;
    std::function<void()> tick = [&] {
        ran.push_back(scheduler.NowMs());
        if (ran.size() < 3)
            scheduler.After(0, &context, tick);
    };
    scheduler.After(5, &context, tick);
    scheduler.Advance(4);
    EXPECT_TRUE(ran.empty());
    scheduler.Advance(1);
    EXPECT_EQ(ran, (std::vector<int64_t>{5, 5, 5}));

    std::function<void()> endless = [&] { scheduler.After(0, &context, endless); };
    scheduler.After(0, &context, endless);
    EXPECT_DEATH(scheduler.Advance(1), "tasks keep scheduling each other at 5 ms");
}

} // namespace
