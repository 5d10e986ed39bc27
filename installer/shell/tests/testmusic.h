#pragma once
// For tests that show the main window: its first showing starts the music, and a sound library
// that is not running or a missing module would end the test process on the spot (with exit code
// 0, which would read as a pass). Call PrepareTestMusic before Form1 is first shown, and
// StopSound() when done.
#include "modwriter.h"
#include "shell/music.h"

#include <fstream>
#include <string>

// Starts the sound library and writes a tiny looping module as install.dat into `programFolder`.
inline void PrepareTestMusic(const std::string& programFolder) {
    std::ofstream(programFolder + "/install.dat", std::ios::binary)
        << kitmaker::modFileBytes(kitmaker::composeBlipSong());
    StartSound();
}
