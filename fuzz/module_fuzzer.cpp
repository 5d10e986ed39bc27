// The sound library's module loader and player on any bytes as install.dat: load, read the
// module's facts, start a looping playback and mix a few blocks of it, as the audio thread would.
// A module that loads must report sane facts and mix to finite samples; one that does not gives
// a format or memory error, never anything else.
#include "engine.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

constexpr int kBlock = 512;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    midas::Engine engine;
    engine.setOutput(44100, kBlock);
    std::vector<std::byte> bytes(size);
    if (size) std::memcpy(bytes.data(), data, size);
    int error = MIDAS_OK;
    const std::uint32_t module = engine.load(std::move(bytes), error);
    if (!module) {
        check(error == MIDAS_ERR_BAD_FORMAT || error == MIDAS_ERR_OUT_OF_MEMORY, "a refused module says why");
        return 0;
    }
    MIDASmoduleInfo info;
    std::memset(&info, 0xAA, sizeof info);
    check(engine.info(module, info, error) == true, "a loaded module has facts");
    check(std::memchr(info.songName, 0, sizeof info.songName) != nullptr, "song name ends within its field");
    check(std::memchr(info.formatName, 0, sizeof info.formatName) != nullptr,
          "format name ends within its field");

    const std::uint32_t play = engine.play(module, true, error);
    if (play) {
        std::vector<float> out(2 * kBlock);
        for (int block = 0; block < 4; ++block) {
            engine.mix(out.data(), kBlock);
            for (float v : out)
                check(std::isfinite(v), "mixed samples are numbers");
        }
        check(engine.stop(play, error), "a running playback stops");
    } else {
        check(error == MIDAS_ERR_BAD_FORMAT || error == MIDAS_ERR_OUT_OF_MEMORY,
              "a refused playback says why");
    }
    check(engine.free(module, error), "a loaded module is freed");
    return 0;
}
