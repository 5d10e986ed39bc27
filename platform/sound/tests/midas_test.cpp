// The sound library as a program uses it, listening to what it writes through SDL's disk driver.
#include "diskaudio.h"
#include "modwriter.h"

#include <midas/midas.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class MidasTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("midas_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        audio_ = dir_ / "out.raw";
        disk_audio::use(audio_, true);
    }
    void TearDown() override {
        MIDASclose();
        fs::remove_all(dir_);
    }

    std::string writeFile(const std::string& name, const std::string& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }
    static MIDASmodule load(std::string name) { return MIDASloadModule(name.data()); }
    static void startUp() {
        ASSERT_TRUE(MIDASstartup());
        ASSERT_EQ(MIDASinit(), TRUE) << MIDASgetErrorMessage(MIDASgetLastError());
    }

    fs::path dir_;
    fs::path audio_;
};

TEST_F(MidasTest, DemoModuleLoadsAndRendersAudibleMusicWithoutClipping) {
    const std::string file = writeFile("install.dat", kitmaker::modFileBytes(kitmaker::composeDemoSong()));
    startUp();
    const MIDASmodule mod = load(file);
    ASSERT_NE(mod, 0u) << MIDASgetErrorMessage(MIDASgetLastError());
    MIDASmoduleInfo info{};
    ASSERT_EQ(MIDASgetModuleInfo(mod, &info), TRUE);
    EXPECT_STREQ(info.songName, "halcyon breeze");
    EXPECT_STREQ(info.formatName, "mod");
    EXPECT_EQ(info.numChannels, 4u);
    EXPECT_EQ(info.songLength, 4u);
    EXPECT_EQ(info.numPatterns, 4u);
    EXPECT_GE(info.durationMs, 30000u); // long enough not to tire before it repeats
    EXPECT_LE(info.durationMs, 60000u);

    ASSERT_NE(MIDASplayModule(mod, TRUE), 0u);
    ASSERT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    const double t0 = disk_audio::waitForSound(audio_, 8.0);
    ASSERT_GE(t0, 0.0);
    ASSERT_EQ(MIDASstopBackgroundPlay(), TRUE);
    const auto s = disk_audio::read(audio_);
    for (double t = t0; t < t0 + 8.0; t += 1.0)
        EXPECT_GT(disk_audio::rms(s, t, t + 1.0), 0.03) << "second " << t;
    float peak = 0;
    for (float v : s)
        peak = std::max(peak, std::abs(v));
    EXPECT_LT(peak, 0.9f);
    EXPECT_GT(peak, 0.2f);
}

TEST_F(MidasTest, LoopedSongKeepsSoundingPastItsEndAndOnceOnlyStops) {
    const auto song = kitmaker::composeBlipSong(); // four rows: about half a second
    const std::string file = writeFile("blip.mod", kitmaker::modFileBytes(song));
    startUp();
    const MIDASmodule mod = load(file);
    ASSERT_NE(mod, 0u);
    MIDASmoduleInfo info{};
    ASSERT_EQ(MIDASgetModuleInfo(mod, &info), TRUE);
    ASSERT_LT(info.durationMs, 1000u);

    ASSERT_NE(MIDASplayModule(mod, TRUE), 0u);
    ASSERT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    const double t0 = disk_audio::waitForSound(audio_, 5.0);
    ASSERT_GE(t0, 0.0);
    ASSERT_EQ(MIDASstopBackgroundPlay(), TRUE);
    const auto looped = disk_audio::read(audio_);
    const double len = info.durationMs / 1000.0;
    // Every pass of the song starts with its tone and ends in silence: still so after many passes.
    for (int pass = 0; pass < 8; ++pass) {
        const double start = t0 + pass * len;
        EXPECT_GT(disk_audio::rms(looped, start, start + 0.1), 0.1) << "pass " << pass;
        EXPECT_LT(disk_audio::rms(looped, start + 0.25, start + len - 0.02), 0.01) << "pass " << pass;
    }
    MIDASclose();

    // Played once, the song ends and the output falls silent.
    fs::remove(audio_);
    startUp();
    const MIDASmodule once = load(file);
    ASSERT_NE(MIDASplayModule(once, FALSE), 0u);
    ASSERT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    const double t1 = disk_audio::waitForSound(audio_, 3.0);
    ASSERT_GE(t1, 0.0);
    ASSERT_EQ(MIDASstopBackgroundPlay(), TRUE);
    const auto single = disk_audio::read(audio_);
    EXPECT_GT(disk_audio::rms(single, t1, t1 + 0.1), 0.1);
    EXPECT_EQ(disk_audio::rms(single, t1 + 1.0, t1 + 3.0), 0.0);
}

TEST_F(MidasTest, MissingOrBrokenFilesGiveNoHandleAndAClearMessage) {
    const std::string good = kitmaker::modFileBytes(kitmaker::composeBlipSong());
    startUp();
    struct Case {
        std::string file;
        int error;
    };
    std::string noise(4000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    // A FIFO (nobody writes to it: opening it for reading would block) and a device never end.
    const std::string fifo = (dir_ / "fifo.dat").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const Case cases[] = {
        {fifo, MIDAS_ERR_OPEN_FILE},
        {"/dev/zero", MIDAS_ERR_OPEN_FILE},
        {(dir_ / "absent.dat").string(), MIDAS_ERR_OPEN_FILE},
        {"", MIDAS_ERR_OPEN_FILE},
        {writeFile("empty.dat", ""), MIDAS_ERR_BAD_FORMAT},
        {writeFile("text.dat", "[OPTIONS]\r\nAPPZ=not music\r\n"), MIDAS_ERR_BAD_FORMAT},
        {writeFile("noise.dat", noise), MIDAS_ERR_BAD_FORMAT},
        {writeFile("cut.dat", good.substr(0, 600)), MIDAS_ERR_BAD_FORMAT},
        {dir_.string(), MIDAS_ERR_OPEN_FILE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(load(c.file), 0u) << c.file;
        EXPECT_EQ(MIDASgetLastError(), c.error) << c.file;
        EXPECT_STRNE(MIDASgetErrorMessage(MIDASgetLastError()), "") << c.file;
    }
    EXPECT_STREQ(MIDASgetErrorMessage(MIDAS_ERR_OPEN_FILE), "Unable to open file");
    EXPECT_STREQ(MIDASgetErrorMessage(MIDAS_ERR_BAD_FORMAT), "Unsupported module format");
    EXPECT_EQ(MIDASloadModule(nullptr), 0u);
    EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_BAD_ARGUMENT);
    // A failed load leaves the library usable.
    EXPECT_NE(load(writeFile("good.mod", good)), 0u);
}

TEST_F(MidasTest, HandlesAreCheckedAndFreeingAModuleEndsItsPlaybacks) {
    startUp();
    const MIDASmodule mod = load(writeFile("blip.mod", kitmaker::modFileBytes(kitmaker::composeBlipSong())));
    ASSERT_NE(mod, 0u);
    const MIDASmodulePlayHandle a = MIDASplayModule(mod, TRUE);
    const MIDASmodulePlayHandle b = MIDASplayModule(mod, TRUE);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_NE(a, mod);
    EXPECT_EQ(MIDASstopModule(a), TRUE);
    EXPECT_EQ(MIDASstopModule(a), FALSE); // already stopped
    EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_BAD_PLAY_HANDLE);
    EXPECT_EQ(MIDASstopModule(mod), FALSE); // a module handle is no play handle
    EXPECT_EQ(MIDASfreeModule(mod), TRUE);
    EXPECT_EQ(MIDASstopModule(b), FALSE); // ended with its module
    EXPECT_EQ(MIDASfreeModule(mod), FALSE);
    EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_BAD_MODULE);
    MIDASmoduleInfo info{};
    EXPECT_EQ(MIDASgetModuleInfo(mod, &info), FALSE);
    EXPECT_EQ(MIDASplayModule(mod, TRUE), 0u);
    EXPECT_EQ(MIDASplayModule(0, TRUE), 0u);
}

TEST_F(MidasTest, CallsOutOfOrderFailWithTheirReason) {
    MIDASclose();
    EXPECT_EQ(MIDASinit(), FALSE); // before MIDASstartup
    EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_NOT_STARTED_UP);
    ASSERT_TRUE(MIDASstartup());
    std::string name = writeFile("blip.mod", kitmaker::modFileBytes(kitmaker::composeBlipSong()));
    EXPECT_EQ(MIDASloadModule(name.data()), 0u);
    EXPECT_STREQ(MIDASgetErrorMessage(MIDASgetLastError()), "Sound system not initialised");
    EXPECT_EQ(MIDASstartBackgroundPlay(0), FALSE);
    ASSERT_EQ(MIDASinit(), TRUE);
    EXPECT_EQ(MIDASinit(), FALSE);
    EXPECT_EQ(MIDASstopBackgroundPlay(), FALSE); // not running yet
    EXPECT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    EXPECT_EQ(MIDASstartBackgroundPlay(0), FALSE);
    EXPECT_EQ(MIDASgetLastError(), MIDAS_ERR_PLAY_RUNNING);
}

TEST_F(MidasTest, StoppingBackgroundPlayEndsOutputAndCloseFreesEverything) {
    startUp();
    std::string name = writeFile("blip.mod", kitmaker::modFileBytes(kitmaker::composeBlipSong()));
    const MIDASmodule mod = MIDASloadModule(name.data());
    ASSERT_NE(MIDASplayModule(mod, TRUE), 0u);
    ASSERT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    ASSERT_GE(disk_audio::waitForSound(audio_, 1.0), 0.0);
    // The exit order: background play stops (output ends at once), then the library closes with
    // the module still loaded and playing.
    ASSERT_EQ(MIDASstopBackgroundPlay(), TRUE);
    const double stoppedAt =
        static_cast<double>(disk_audio::sizeOf(audio_) / disk_audio::kFrameBytes) / disk_audio::kRate;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(MIDASclose(), TRUE);
    // Past the blocks that were on their way out, the output is silent.
    const auto s = disk_audio::read(audio_);
    const double t0 = disk_audio::firstSound(s);
    ASSERT_GE(t0, 0.0);
    EXPECT_GT(disk_audio::rms(s, t0, t0 + 0.1), 0.05);
    EXPECT_GT(s.size() / 2, static_cast<std::size_t>((stoppedAt + 0.3) * disk_audio::kRate));
    EXPECT_EQ(disk_audio::rms(s, stoppedAt + 0.15, 600.0), 0.0);
    MIDASmoduleInfo info{};
    EXPECT_EQ(MIDASgetModuleInfo(mod, &info), FALSE);
    // And it starts again cleanly.
    ASSERT_TRUE(MIDASstartup());
    ASSERT_EQ(MIDASinit(), TRUE);
    EXPECT_NE(MIDASloadModule(name.data()), 0u);
}

TEST_F(MidasTest, MissingAudioDeviceFallsBackToSilentOutput) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    startUp();
    EXPECT_EQ(MIDASstartBackgroundPlay(0), TRUE);
    std::string name = writeFile("blip.mod", kitmaker::modFileBytes(kitmaker::composeBlipSong()));
    const MIDASmodule mod = MIDASloadModule(name.data());
    EXPECT_NE(MIDASplayModule(mod, TRUE), 0u);
    EXPECT_EQ(MIDASstopBackgroundPlay(), TRUE);
}

} // namespace
