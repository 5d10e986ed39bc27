// The sound library when memory runs out. This program replaces the global operator new (and
// its nothrow and array forms, with their deletes) so that the Nth allocation from now fails; each test makes
// every allocation of one call fail in turn. The call must then fail with its reason or succeed, and no
// exception may leave the library (one would end this program): not through a C export, not out of the audio
// thread's mix.
#include "engine.h"
#include "modwriter.h"

#include <midas/midas.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

namespace {

std::atomic<long> allocationsLeft{-1}; // before one fails; below zero: none fails
std::atomic<bool> oneFailed{false};

void* allocate(std::size_t n) {
    if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) {
        oneFailed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t n) {
    return allocate(n);
}
void* operator new[](std::size_t n) {
    return allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

namespace fs = std::filesystem;

// Runs `call` with its k-th allocation failing, for k = 0, 1, ... until a run needs no failure.
// `failedRun` checks a run that met one; returns the number of runs that did.
template <class Call, class Check> int failEachAllocation(Call call, Check failedRun) {
    for (int k = 0; k < 20000; ++k) {
        oneFailed = false;
        allocationsLeft = k;
        const auto result = call();
        allocationsLeft = -1;
        if (!oneFailed) return k;
        failedRun(result);
        if (::testing::Test::HasFatalFailure()) return k;
    }
    ADD_FAILURE() << "the call never succeeded";
    return -1;
}

class MidasOutOfMemory : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        dir_ = fs::temp_directory_path() / ("midas_oom_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        file_ = (dir_ / "blip.mod").string();
        std::ofstream(file_, std::ios::binary) << kitmaker::modFileBytes(kitmaker::composeBlipSong());
    }
    void TearDown() override {
        MIDASclose();
        fs::remove_all(dir_);
    }
    void startUp() {
        ASSERT_EQ(MIDASstartup(), TRUE);
        ASSERT_EQ(MIDASinit(), TRUE) << MIDASgetErrorMessage(MIDASgetLastError());
    }
    MIDASmodule load() { return MIDASloadModule(file_.data()); }

    fs::path dir_;
    std::string file_;
};

TEST_F(MidasOutOfMemory, InitFailsCleanlyAndCanBeRetried) {
    ASSERT_EQ(MIDASstartup(), TRUE);
    const int runs = failEachAllocation([] { return MIDASinit(); },
                                        [](BOOL ok) {
                                            EXPECT_EQ(ok, FALSE);
                                            EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_OUT_OF_MEMORY);
                                        });
    EXPECT_GT(runs, 0);
    // The last run succeeded: the library works.
    ASSERT_NE(load(), 0u) << MIDASgetErrorMessage(MIDASgetLastError());
}

TEST_F(MidasOutOfMemory, LoadPlayStopAndFreeFailWithTheirReason) {
    startUp();
    // The decoder gets by without some of its allocations; when it cannot, it may report the
    // memory it lacked as a module it cannot read.
    const auto failedWithReason = [](DWORD handle) {
        if (handle != 0) return;
        const int e = MIDASgetLastError();
        EXPECT_TRUE(e == MIDAS_ERR_OUT_OF_MEMORY || e == MIDAS_ERR_BAD_FORMAT) << e;
    };
    MIDASmodule mod = 0;
    const int loadRuns = failEachAllocation([&] { return mod = load(); },
                                            [&](MIDASmodule h) {
                                                failedWithReason(h);
                                                if (h) {
                                                    EXPECT_EQ(MIDASfreeModule(h), TRUE);
                                                }
                                            });
    EXPECT_GT(loadRuns, 10);
    ASSERT_NE(mod, 0u);

    MIDASmodulePlayHandle play = 0;
    failEachAllocation([&] { return play = MIDASplayModule(mod, TRUE); },
                       [&](MIDASmodulePlayHandle h) {
                           failedWithReason(h);
                           if (h) {
                               EXPECT_EQ(MIDASstopModule(h), TRUE);
                           }
                       });
    ASSERT_NE(play, 0u);
    MIDASmoduleInfo info{};
    failEachAllocation([&] { return MIDASgetModuleInfo(mod, &info); }, [](BOOL) {});
    EXPECT_STREQ(info.formatName, "mod");

    // Output runs now; what it mixes is the audio thread's business.
    ASSERT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    EXPECT_EQ(MIDASstopModule(play), TRUE);
    EXPECT_EQ(MIDASfreeModule(mod), TRUE);
    EXPECT_EQ(MIDASstopBackgroundPlay(), TRUE);
}

TEST(EngineMix, ABlockWithoutMemoryIsSilenceAndTheNextOneSounds) {
    const std::string song = kitmaker::modFileBytes(kitmaker::composeDemoSong());
    std::vector<std::byte> bytes(song.size());
    std::memcpy(bytes.data(), song.data(), song.size());
    midas::Engine engine;
    engine.setOutput(44100, 64); // smaller than the blocks below: a second playback allocates
    int error = 0;
    const std::uint32_t mod = engine.load(bytes, error);
    ASSERT_NE(mod, 0u);
    ASSERT_NE(engine.play(mod, true, error), 0u);
    ASSERT_NE(engine.play(mod, true, error), 0u);

    std::vector<float> out(2 * 4096, 0.5f);
    oneFailed = false;
    allocationsLeft = 0;
    engine.mix(out.data(), 4096);
    allocationsLeft = -1;
    EXPECT_TRUE(oneFailed);
    for (float v : out)
        ASSERT_EQ(v, 0.0f);

    // With memory, the next blocks sound again (the song starts quietly: look for a while).
    float peak = 0;
    for (int block = 0; block < 100 && peak == 0; ++block) {
        engine.mix(out.data(), 4096);
        for (float v : out)
            peak = std::max(peak, std::abs(v));
    }
    EXPECT_GT(peak, 0.0f);
}

} // namespace
