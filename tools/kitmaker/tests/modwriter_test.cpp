// The module writer: the ProTracker layout players read, and samples that loop without clicks.
#include "modwriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace {

using namespace kitmaker;

unsigned be16(const std::string& s, std::size_t at) {
    return (static_cast<unsigned char>(s[at]) << 8) | static_cast<unsigned char>(s[at + 1]);
}

TEST(ModWriter, NotesMapToAmigaPeriods) {
    EXPECT_EQ(modPeriod("C-1"), 856);
    EXPECT_EQ(modPeriod("A-2"), 254);
    EXPECT_EQ(modPeriod("C#3"), 202);
    EXPECT_EQ(modPeriod("B-3"), 113);
    for (const char* bad : {"", "C-4", "C-0", "H-2", "C2", "c-2"})
        EXPECT_THROW(modPeriod(bad), std::invalid_argument) << bad;
}

TEST(ModWriter, WritesTheProTrackerLayout) {
    const ModSong song = composeBlipSong();
    const std::string bytes = modFileBytes(song);
    const std::size_t sampleBytes = song.samples[0].data.size();
    ASSERT_EQ(bytes.size(), 1084u + 1024u + sampleBytes);
    EXPECT_EQ(bytes.substr(0, 4), "blip");
    EXPECT_EQ(bytes.substr(1080, 4), "M.K.");
    EXPECT_EQ(static_cast<unsigned char>(bytes[950]), 1u); // orders
    // First sample header: length in words, volume, a one-shot loop (start 0, length 1 word).
    EXPECT_EQ(be16(bytes, 20 + 22), sampleBytes / 2);
    EXPECT_EQ(bytes[20 + 25], 64);
    EXPECT_EQ(be16(bytes, 20 + 26), 0u);
    EXPECT_EQ(be16(bytes, 20 + 28), 1u);
    // Row 0, channel 0: sample 1 at C-3 (period 214); row 3, channel 1: pattern break.
    const std::size_t pat = 1084;
    EXPECT_EQ(static_cast<unsigned char>(bytes[pat + 0]), 0x00u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[pat + 1]), 214u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[pat + 2]), 0x10u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[pat + (3 * 4 + 1) * 4 + 2]), 0x0Du);
    // Sample data follows the patterns, its first word silent.
    EXPECT_EQ(bytes[1084 + 1024], 0);
    EXPECT_EQ(bytes[1084 + 1024 + 1], 0);
}

TEST(ModWriter, RefusesSongsThatDoNotFitTheFormat) {
    ModSong tooMany = composeBlipSong();
    tooMany.samples.resize(32, tooMany.samples[0]);
    EXPECT_THROW(modFileBytes(tooMany), std::invalid_argument);
    ModSong badOrder = composeBlipSong();
    badOrder.orders = {1};
    EXPECT_THROW(modFileBytes(badOrder), std::invalid_argument);
    ModSong oddSample = composeBlipSong();
    oddSample.samples[0].data.push_back(0);
    EXPECT_THROW(modFileBytes(oddSample), std::invalid_argument);
    ModSong badLoop = composeBlipSong();
    badLoop.samples[0].loopStart = 2;
    badLoop.samples[0].loopLength = badLoop.samples[0].data.size();
    EXPECT_THROW(modFileBytes(badLoop), std::invalid_argument);
}

TEST(ModWriter, DemoSongSamplesFitAndLoopSeamlessly) {
    const ModSong song = composeDemoSong();
    EXPECT_NO_THROW(modFileBytes(song));
    ASSERT_LE(song.samples.size(), 31u);
    for (const ModSample& s : song.samples) {
        ASSERT_FALSE(s.data.empty()) << s.name;
        int peak = 0;
        for (std::int8_t v : s.data)
            peak = std::max(peak, std::abs(int(v)));
        EXPECT_GE(peak, 90) << s.name; // uses the 8 bits it has
        EXPECT_LE(peak, 127) << s.name;
        if (!s.loopLength) {
            // One-shots fade out completely, so a cut-off note does not click.
            EXPECT_LE(std::abs(int(s.data.back())), 2) << s.name;
            continue;
        }
        // The loop's end leads into its start as smoothly as any two neighbouring samples.
        const std::size_t a = s.loopStart, b = s.loopStart + s.loopLength - 1;
        int maxStep = 0;
        for (std::size_t i = a + 1; i <= b; ++i)
            maxStep = std::max(maxStep, std::abs(s.data[i] - s.data[i - 1]));
        EXPECT_LE(std::abs(s.data[a] - s.data[b]), maxStep) << s.name;
    }
}

} // namespace
