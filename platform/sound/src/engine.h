#pragma once
// The player behind the MIDAS calls: the tables of loaded modules and running playbacks, and the
// mixer that the audio thread calls. Knows nothing of the output device, so it runs anywhere.
#include "midas/midas.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace openmpt {
class module;
}

namespace midas {

// Loads the bytes of a module file. Sets `error` (a MIDAS_ERR_* code) and returns false on failure.
bool readModuleFile(const char* fileName, std::vector<std::byte>& bytes, int& error);

// Decoder settings the player uses for every module (and the benchmark's floor with it).
void applyRenderSettings(openmpt::module& mod);

class Engine {
  public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Sample rate the mixer renders at and the largest block it is asked for at once (set before
    // output starts, so the audio thread never allocates).
    void setOutput(int rate, int maxFrames);

    // Each returns 0 (or false) and sets `error` on failure.
    std::uint32_t load(std::vector<std::byte> bytes, int& error);
    bool info(std::uint32_t module, MIDASmoduleInfo& out, int& error) const;
    std::uint32_t play(std::uint32_t module, bool loop, int& error);
    bool stop(std::uint32_t playHandle, int& error);
    bool free(std::uint32_t module, int& error);
    void clear();

    // Mixes every running playback into `out` (interleaved stereo floats, `frames` frames);
    // silence when nothing plays. Called on the audio thread, so it never throws: a playback
    // whose decoder fails ends, and a block that cannot be mixed is silence.
    void mix(float* out, int frames) noexcept;

  private:
    struct Module;
    struct Playback;
    std::uint32_t newHandle(); // caller holds mutex_

    mutable std::mutex mutex_;
    int rate_ = 44100;
    std::uint32_t nextHandle_ = 1;
    std::map<std::uint32_t, std::shared_ptr<Module>> modules_;
    std::map<std::uint32_t, std::unique_ptr<Playback>> playbacks_;
    std::vector<float> scratch_;
};

} // namespace midas
