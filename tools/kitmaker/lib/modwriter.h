#pragma once
// A writer of ProTracker modules (4 channels, "M.K.") and the composer of the demo kit's music:
// samples synthesised here (pad chords, bass, electric piano, drums) and a few patterns of a calm
// looping tune in C major.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kitmaker {

struct ModSample {
    std::string name;              // up to 22 bytes
    std::vector<std::int8_t> data; // 8-bit signed sound, even length, at most 131070 bytes
    int volume = 64;               // default volume 0..64
    std::size_t loopStart = 0;     // bytes; loopLength 0 means a one-shot sample
    std::size_t loopLength = 0;
};

struct ModCell {
    int sample = 0; // 1-based, 0 = none
    int period = 0; // Amiga period of the note, 0 = none
    int effect = 0; // 0x0..0xF
    int param = 0;  // 0x00..0xFF
};

inline constexpr int kModChannels = 4;
inline constexpr int kModRows = 64;
using ModPattern = std::array<ModCell, kModRows * kModChannels>; // row-major

struct ModSong {
    std::string title;              // up to 20 bytes
    std::vector<ModSample> samples; // at most 31
    std::vector<ModPattern> patterns;
    std::vector<int> orders; // pattern numbers, 1..128 entries
};

// The Amiga period of a note name such as "C-2" or "F#1" (octaves 1..3). Throws on other names.
int modPeriod(const std::string& note);

// The bytes of `song` as a ProTracker module. Throws std::invalid_argument when the song does not
// fit the format.
std::string modFileBytes(const ModSong& song);

// The demo kit's music: a calm four-channel tune of about 43 seconds that loops seamlessly.
ModSong composeDemoSong();

// A tiny module of a single 4-row pattern (about half a second) with one short tone at its start:
// for checking that a player loops a song.
ModSong composeBlipSong();

} // namespace kitmaker
