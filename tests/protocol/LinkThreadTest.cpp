// The link thread's timer and job queue.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "protocol/LinkThread.h"
#include "support/TestSupport.h"

namespace vorna {
namespace {

TEST(LinkThread, TicksRunJobsBetweenThemAndStopsInOrder) {
    LinkThread thread;
    std::atomic<int> ticks{0};
    std::atomic<bool> jobRanOnLinkThread{false};
    std::atomic<bool> insideTick{false};
    std::atomic<bool> overlapped{false};
    thread.Run(
        [&] {
            if (insideTick.exchange(true)) overlapped = true;
            ++ticks;
            insideTick = false;
        },
        20);
    ASSERT_TRUE(test::WaitFor([&] { return ticks >= 3; }));

    std::promise<void> done;
    thread.Post([&] {
        jobRanOnLinkThread = thread.IsLinkThread();
        if (insideTick) overlapped = true;
        done.set_value();
    });
    ASSERT_EQ(done.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(jobRanOnLinkThread);
    EXPECT_FALSE(thread.IsLinkThread());

    // A stopped timer ticks no more until it is started again.
    std::promise<void> stopped;
    thread.Post([&] {
        thread.StopTimer();
        stopped.set_value();
    });
    stopped.get_future().wait();
    const int atStop = ticks;
    // Ten periods without a tick: a timer that kept running would have ticked by then.
    EXPECT_FALSE(test::WaitFor([&] { return ticks > atStop; }, std::chrono::milliseconds(200)));
    thread.StartTimer(20);
    ASSERT_TRUE(test::WaitFor([&] { return ticks >= atStop + 2; }));

    thread.Shutdown();
    const int atShutdown = ticks;
    thread.Post([&] { ++ticks; });  // dropped
    thread.Shutdown();
    EXPECT_EQ(ticks, atShutdown);
    EXPECT_FALSE(overlapped);
}

TEST(LinkThread, TickNowBringsTheNextTickForwardButNotPastAStoppedTimer) {
    LinkThread thread;
    std::atomic<int> ticks{0};
    // A period no test lasts: every tick here is one that was asked for.
    thread.Run([&] { ++ticks; }, 3600 * 1000);
    thread.TickNow();
    ASSERT_TRUE(test::WaitFor([&] { return ticks == 1; }));

    // Asked for while the timer is stopped, the tick waits for it to start.
    std::promise<void> stopped;
    thread.Post([&] {
        thread.StopTimer();
        stopped.set_value();
    });
    stopped.get_future().wait();
    thread.TickNow();
    std::promise<void> probe;
    thread.Post([&] { probe.set_value(); });
    probe.get_future().wait();
    EXPECT_EQ(ticks, 1);
    thread.StartTimer(3600 * 1000);
    ASSERT_TRUE(test::WaitFor([&] { return ticks == 2; }));

    thread.Shutdown();

    // Asked for from the tick itself, the next tick follows it.
    std::atomic<int> chained{0};
    LinkThread chain;
    chain.Run(
        [&] {
            if (++chained < 3) chain.TickNow();
        },
        3600 * 1000);
    chain.TickNow();
    ASSERT_TRUE(test::WaitFor([&] { return chained == 3; }));
    chain.Shutdown();
}

// A port just opened is talked to soon after: the next tick comes early, once, and the
// period then goes on; a stopped timer stays stopped.
TEST(LinkThread, NextTickAfterBringsOneTickForward) {
    LinkThread thread;
    std::atomic<int> ticks{0};
    thread.Run([&] { ++ticks; }, 3600 * 1000);
    thread.NextTickAfter(10);
    ASSERT_TRUE(test::WaitFor([&] { return ticks == 1; }));
    std::promise<void> stopped;
    thread.Post([&] {
        thread.StopTimer();
        thread.NextTickAfter(0);
        stopped.set_value();
    });
    stopped.get_future().wait();
    std::promise<void> probe;
    thread.Post([&] { probe.set_value(); });
    probe.get_future().wait();
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(thread.TimerRunning());
    EXPECT_EQ(thread.PeriodMs(), 3600 * 1000);
    thread.Shutdown();
}

}  // namespace
}  // namespace vorna
