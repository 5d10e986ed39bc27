// Start-up work shared between a helper thread and the thread that needs it: every piece done once,
// by whichever thread gets to it first, and never a wait on a helper that has not begun.
#include "framework/startupwork.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Waits up to two seconds for `flag`; whether it came.
bool waitUntil(const std::atomic<bool>& flag) {
    const auto until = std::chrono::steady_clock::now() + 2s;
    while (!flag.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(100us);
    return flag.load();
}

} // namespace

TEST(StartupWork, EveryPieceIsDoneOnceWhoeverDoesIt) {
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> runs[3] = {0, 0, 0};
        StartupWork work({[&] { ++runs[0]; }, [&] { ++runs[1]; }, [&] { ++runs[2]; }});
        if (round % 2) std::this_thread::yield(); // sometimes the helper gets a head start
        work.finish();
        for (const auto& r : runs)
            EXPECT_EQ(r.load(), 1) << "round " << round;
    }
}

TEST(StartupWork, TheCallerDoesWhatTheHelperHasNotBegun) {
    // The first piece cannot end before the second has run. Whichever thread takes the first, the
    // other one must take the second: finish() neither waits for the helper to get round to it nor
    // leaves it to a helper that is busy.
    for (int round = 0; round < 50; ++round) {
        std::atomic<bool> secondRan{false}, firstSawIt{false};
        StartupWork work({[&] { firstSawIt = waitUntil(secondRan); }, [&] { secondRan = true; }});
        work.finish();
        EXPECT_TRUE(firstSawIt.load()) << "round " << round;
    }
}

TEST(StartupWork, AFailedPieceThrowsInFinishAndTheOthersAreStillDone) {
    std::atomic<bool> after{false};
    StartupWork work({[] { throw std::runtime_error("no fonts"); }, [&] { after = true; }});
    try {
        work.finish();
        FAIL() << "finish() returned";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "no fonts");
    }
    EXPECT_TRUE(after.load());
    EXPECT_NO_THROW(work.finish()); // reported once
}

TEST(StartupWork, WithoutFinishTheHelperDoesEverythingBeforeItEnds) {
    std::atomic<int> done{0};
    {
        StartupWork work({[&] { ++done; }, [&] { ++done; }});
    }
    EXPECT_EQ(done.load(), 2);
}
