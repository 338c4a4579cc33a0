#include "util/RunWait.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

using namespace std::chrono_literals;

TEST(RunWait, WaitsInSlicesWithTheEventsHandledBetween)
{
    test::SteppingClock clock;
    int pumps = 0;
    RunWait wait([&] { ++pumps; }, [] { return false; }, clock);
    EXPECT_TRUE(wait.pause(10s));
    EXPECT_EQ(clock.elapsed, 10s);
    EXPECT_LE(clock.longestSleep, RunWait::kSlice);
    // Events are handled at least once per slice, however long the wait.
    EXPECT_GE(pumps, 10000 / 30);
    EXPECT_FALSE(wait.wasStopped());
}

TEST(RunWait, AStopEndsTheWaitWithinASlice)
{
    test::SteppingClock clock;
    bool stop = false;
    std::chrono::milliseconds stoppedAt{0};
    // The stop comes through the pump, as a click does in the window.
    RunWait wait(
        [&] {
            if (!stop && clock.elapsed >= 1234ms) {
                stop = true;
                stoppedAt = clock.elapsed;
            }
        },
        [&] { return stop; }, clock);
    EXPECT_FALSE(wait.pause(10s));
    EXPECT_TRUE(wait.wasStopped());
    EXPECT_LE(clock.elapsed - stoppedAt, 0ms);
    // Once stopped, a run waits no more.
    EXPECT_FALSE(wait.pause(1s));
    EXPECT_EQ(wait.until(1s, 100ms, [] { return false; }), RunWait::End::Stopped);
    EXPECT_LE(clock.elapsed - stoppedAt, 0ms);
}

TEST(RunWait, UntilTellsHowTheWaitEnded)
{
    test::SteppingClock clock;
    RunWait wait(
        {}, [] { return false; }, clock);
    int checks = 0;
    EXPECT_EQ(wait.until(10s, 100ms,
                  [&]() -> std::optional<bool> {
                      ++checks;
                      return checks == 5;
                  }),
        RunWait::End::Done);
    EXPECT_EQ(checks, 5);
    EXPECT_EQ(clock.elapsed, 400ms);

    clock.elapsed = 0ms;
    checks = 0;
    EXPECT_EQ(wait.until(30s, 100ms,
                  [&]() -> std::optional<bool> {
                      ++checks;
                      return false;
                  }),
        RunWait::End::TimedOut);
    EXPECT_EQ(clock.elapsed, 30s);
    EXPECT_EQ(checks, 301); // at the start and after each tenth of a second

    EXPECT_EQ(wait.until(30s, 100ms, [] { return std::nullopt; }), RunWait::End::Failed);
}

} // namespace
} // namespace varnel
