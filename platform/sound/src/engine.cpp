#include "engine.h"

#include "desktop/regularfile.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cstring>
#include <new>
#include <ostream>
#include <streambuf>

namespace midas {

namespace {

// libopenmpt reports loader warnings to a log stream; the player has no use for them.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
};

std::ostream& nullLog() {
    static NullBuffer buffer;
    static std::ostream stream(&buffer);
    return stream;
}

// Largest file the player reads: far above any real module, and it keeps a stray multi-gigabyte
// file from exhausting memory.
constexpr std::uintmax_t kMaxModuleBytes = 256u * 1024u * 1024u;

void copyText(char* dst, std::size_t size, const std::string& text) {
    const std::size_t n = std::min(size - 1, text.size());
    std::memcpy(dst, text.data(), n);
    std::memset(dst + n, 0, size - n);
}

} // namespace

bool readModuleFile(const char* fileName, std::vector<std::byte>& bytes, int& error) {
    if (!fileName) {
        error = MIDAS_ERR_BAD_ARGUMENT;
        return false;
    }
    // Only a regular file: a FIFO or device under the module's name would block or never end.
    std::uint64_t size = 0;
    const int fd = *fileName ? desktop::openRegularFile(fileName, &size) : -1;
    if (fd < 0) {
        error = MIDAS_ERR_OPEN_FILE;
        return false;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (size > kMaxModuleBytes) {
        error = MIDAS_ERR_BAD_FORMAT;
        return false;
    }
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        error = MIDAS_ERR_OUT_OF_MEMORY;
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = MIDAS_ERR_READ_FILE;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void applyRenderSettings(openmpt::module& mod) {
    // Amiga modules pan their channels hard left and right; half-way separation keeps the stereo
    // image but is kinder on headphones. Other formats keep the panning their authors chose.
    if (mod.get_metadata("type") == "mod")
        mod.set_render_param(openmpt::module::RENDER_STEREOSEPARATION_PERCENT, 60);
}

struct Engine::Module {
    std::vector<std::byte> bytes;
    MIDASmoduleInfo info{};
    std::unique_ptr<openmpt::module> spare; // the decoder made while loading, until a playback takes it
};

struct Engine::Playback {
    std::uint32_t module = 0;
    std::unique_ptr<openmpt::module> decoder;
    bool finished = false;
};

Engine::Engine() = default;
Engine::~Engine() = default;

void Engine::setOutput(int rate, int maxFrames) {
    std::lock_guard lock(mutex_);
    rate_ = rate;
    scratch_.assign(static_cast<std::size_t>(std::max(maxFrames, 0)) * 2, 0.0f);
}

std::uint32_t Engine::newHandle() {
    // Handles count up, so a stale handle is not mistaken for a new one; 0 is never handed out.
    for (std::uint32_t tries = 0; tries < 1000; ++tries) {
        const std::uint32_t h = nextHandle_++;
        if (nextHandle_ == 0) nextHandle_ = 1;
        if (h != 0 && !modules_.count(h) && !playbacks_.count(h)) return h;
    }
    return 0;
}

std::uint32_t Engine::load(std::vector<std::byte> bytes, int& error) {
    auto mod = std::make_shared<Module>();
    try {
        // Parsed here (outside the lock) to check the format and read the module's dimensions;
        // each playback gets a decoder of its own, the first one this one.
        mod->spare = std::make_unique<openmpt::module>(bytes, nullLog());
        openmpt::module& decoder = *mod->spare;
        MIDASmoduleInfo& i = mod->info;
        copyText(i.songName, sizeof i.songName, decoder.get_metadata("title"));
        i.songLength = static_cast<std::uint32_t>(std::max(0, decoder.get_num_orders()));
        i.numPatterns = static_cast<std::uint32_t>(std::max(0, decoder.get_num_patterns()));
        i.numSamples = static_cast<std::uint32_t>(std::max(0, decoder.get_num_samples()));
        const int instruments = decoder.get_num_instruments();
        i.numInstruments = instruments > 0 ? static_cast<std::uint32_t>(instruments) : i.numSamples;
        i.numChannels = static_cast<std::uint32_t>(std::max(0, decoder.get_num_channels()));
        i.durationMs =
            static_cast<std::uint32_t>(std::max(0.0, decoder.get_duration_seconds() * 1000.0 + 0.5));
        copyText(i.formatName, sizeof i.formatName, decoder.get_metadata("type"));
    } catch (const std::bad_alloc&) {
        error = MIDAS_ERR_OUT_OF_MEMORY;
        return 0;
    } catch (const std::exception&) {
        error = MIDAS_ERR_BAD_FORMAT;
        return 0;
    }
    mod->bytes = std::move(bytes);
    std::lock_guard lock(mutex_);
    const std::uint32_t h = newHandle();
    if (!h) {
        error = MIDAS_ERR_OUT_OF_HANDLES;
        return 0;
    }
    modules_.emplace(h, std::move(mod));
    return h;
}

bool Engine::info(std::uint32_t module, MIDASmoduleInfo& out, int& error) const {
    std::lock_guard lock(mutex_);
    const auto it = modules_.find(module);
    if (it == modules_.end()) {
        error = MIDAS_ERR_BAD_MODULE;
        return false;
    }
    out = it->second->info;
    return true;
}

std::uint32_t Engine::play(std::uint32_t module, bool loop, int& error) {
    std::shared_ptr<Module> mod;
    auto pb = std::make_unique<Playback>();
    pb->module = module;
    {
        std::lock_guard lock(mutex_);
        const auto it = modules_.find(module);
        if (it == modules_.end()) {
            error = MIDAS_ERR_BAD_MODULE;
            return 0;
        }
        mod = it->second;
        pb->decoder = std::move(mod->spare);
    }
    try {
        if (!pb->decoder) {
            // Song lengths were measured at load time; a playback need not measure them again.
            static const std::map<std::string, std::string> ctls{{"load.skip_subsongs_init", "1"}};
            pb->decoder = std::make_unique<openmpt::module>(mod->bytes, nullLog(), ctls);
        }
        applyRenderSettings(*pb->decoder);
        pb->decoder->set_repeat_count(loop ? -1 : 0);
    } catch (const std::bad_alloc&) {
        error = MIDAS_ERR_OUT_OF_MEMORY;
        return 0;
    } catch (const std::exception&) {
        error = MIDAS_ERR_BAD_FORMAT;
        return 0;
    }
    std::lock_guard lock(mutex_);
    if (!modules_.count(module)) { // freed meanwhile (only possible from another thread)
        error = MIDAS_ERR_BAD_MODULE;
        return 0;
    }
    const std::uint32_t h = newHandle();
    if (!h) {
        error = MIDAS_ERR_OUT_OF_HANDLES;
        return 0;
    }
    playbacks_.emplace(h, std::move(pb));
    return h;
}

bool Engine::stop(std::uint32_t playHandle, int& error) {
    std::unique_ptr<Playback> gone; // destroyed after the lock is released
    std::lock_guard lock(mutex_);
    const auto it = playbacks_.find(playHandle);
    if (it == playbacks_.end()) {
        error = MIDAS_ERR_BAD_PLAY_HANDLE;
        return false;
    }
    gone = std::move(it->second);
    playbacks_.erase(it);
    return true;
}

bool Engine::free(std::uint32_t module, int& error) {
    std::vector<std::unique_ptr<Playback>> gone;
    std::lock_guard lock(mutex_);
    const auto it = modules_.find(module);
    if (it == modules_.end()) {
        error = MIDAS_ERR_BAD_MODULE;
        return false;
    }
    // Playbacks of a freed module end with it.
    for (auto p = playbacks_.begin(); p != playbacks_.end();) {
        if (p->second->module == module) {
            gone.push_back(std::move(p->second));
            p = playbacks_.erase(p);
        } else {
            ++p;
        }
    }
    modules_.erase(it);
    return true;
}

void Engine::clear() {
    std::map<std::uint32_t, std::unique_ptr<Playback>> playbacks;
    std::map<std::uint32_t, std::shared_ptr<Module>> modules;
    std::lock_guard lock(mutex_);
    playbacks.swap(playbacks_);
    modules.swap(modules_);
}

void Engine::mix(float* out, int frames) noexcept {
    if (frames <= 0) return;
    const std::size_t samples = static_cast<std::size_t>(frames) * 2;
    std::fill(out, out + samples, 0.0f);
    try {
        std::lock_guard lock(mutex_);
        std::size_t active = 0;
        for (auto& [h, pb] : playbacks_) {
            if (pb->finished) continue;
            // The first playback renders straight into the output; further ones are added to it.
            float* dst = out;
            if (active > 0) {
                if (scratch_.size() < samples) scratch_.resize(samples);
                dst = scratch_.data();
            }
            std::size_t done = 0;
            try {
                while (done < static_cast<std::size_t>(frames)) {
                    const std::size_t got = pb->decoder->read_interleaved_stereo(
                        rate_, static_cast<std::size_t>(frames) - done, dst + done * 2);
                    if (got == 0) {
                        pb->finished = true; // a song played once has ended
                        break;
                    }
                    done += got;
                }
            } catch (...) {
                pb->finished = true; // a decoder that fails once is not asked again
                done = 0;
            }
            std::fill(dst + done * 2, dst + samples, 0.0f);
            if (active > 0) {
                for (std::size_t i = 0; i < samples; ++i)
                    out[i] = std::clamp(out[i] + dst[i], -1.0f, 1.0f);
            }
            ++active;
        }
    } catch (...) {
        // No memory for a second playback's block, or the lock failed: this block is silent.
        std::fill(out, out + samples, 0.0f);
    }
}

} // namespace midas
