// The exported MIDAS calls: the library's state machine around the player and the SDL output.
#include "midas/midas.h"

#include "engine.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

namespace {

enum class State { Down, StartedUp, Initialised, Playing };

struct Library {
    State state = State::Down;
    SDL_AudioDeviceID device = 0;
    SDL_AudioSpec have{};
    std::unique_ptr<midas::Engine> engine;
};

Library g;
std::atomic<int> g_lastError{MIDAS_OK};

BOOL fail(int code) {
    g_lastError = code;
    return FALSE;
}

// Runs the body of an exported call. No exception leaves the library through a C frame: memory
// running out becomes MIDAS_ERR_OUT_OF_MEMORY, anything else MIDAS_ERR_INTERNAL, and the call
// returns `failure`.
template <class R, class F> R guarded(R failure, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        g_lastError = MIDAS_ERR_OUT_OF_MEMORY;
    } catch (...) {
        g_lastError = MIDAS_ERR_INTERNAL;
    }
    return failure;
}

// Reports whether the library has at least been initialised; sets the error otherwise.
bool ready() {
    if (g.state == State::Down) {
        g_lastError = MIDAS_ERR_NOT_STARTED_UP;
        return false;
    }
    if (g.state == State::StartedUp) {
        g_lastError = MIDAS_ERR_NOT_INITIALISED;
        return false;
    }
    return true;
}

void SDLCALL audioCallback(void* user, Uint8* stream, int len) {
    auto* engine = static_cast<midas::Engine*>(user);
    engine->mix(reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float))); // noexcept
}

// Opens the default output of the audio driver now initialised (paused).
SDL_AudioDeviceID openDevice(midas::Engine* engine, SDL_AudioSpec& have) {
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 2048; // about 46 ms per block: few wake-ups of the audio thread, quick start
    want.callback = audioCallback;
    want.userdata = engine;
    return SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                               SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
}

// Starts SDL's audio with the driver chosen by the environment (or SDL's own choice); when that
// gives no output, with the silent "dummy" driver, so programs run on machines without sound.
bool openOutput() {
    // SDL would otherwise catch SIGINT and SIGTERM for an event queue nobody reads, and the
    // program could no longer be interrupted or terminated.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        g.device = openDevice(g.engine.get(), g.have);
        if (g.device != 0) return true;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    const bool started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    if (!started) return false;
    g.device = openDevice(g.engine.get(), g.have);
    if (g.device != 0) return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

void closeOutput() {
    if (g.device != 0) {
        SDL_CloseAudioDevice(g.device); // waits for the audio thread to finish
        g.device = 0;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

} // namespace

extern "C" {

BOOL MIDASstartup(void) {
    return guarded<BOOL>(TRUE, [&]() -> BOOL {
        if (g.state != State::Down) MIDASclose();
        g.state = State::StartedUp;
        g_lastError = MIDAS_OK;
        return TRUE;
    });
}

BOOL MIDASinit(void) {
    const BOOL ok = guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (g.state == State::Down) return fail(MIDAS_ERR_NOT_STARTED_UP);
        if (g.state != State::StartedUp) return fail(MIDAS_ERR_ALREADY_INITIALISED);
        g.engine = std::make_unique<midas::Engine>();
        if (!openOutput()) {
            g.engine.reset();
            return fail(MIDAS_ERR_NO_AUDIO);
        }
        g.engine->setOutput(g.have.freq, g.have.samples);
        g.state = State::Initialised;
        return TRUE;
    });
    if (!ok && g.state == State::StartedUp) { // failed half-way: nothing stays open
        closeOutput();
        g.engine.reset();
    }
    return ok;
}

BOOL MIDASstartBackgroundPlay(DWORD rate) {
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        (void)rate; // the output device paces the audio thread
        if (!ready()) return FALSE;
        if (g.state == State::Playing) return fail(MIDAS_ERR_PLAY_RUNNING);
        SDL_PauseAudioDevice(g.device, 0);
        g.state = State::Playing;
        return TRUE;
    });
}

BOOL MIDASstopBackgroundPlay(void) {
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!ready()) return FALSE;
        if (g.state != State::Playing) return fail(MIDAS_ERR_PLAY_NOT_RUNNING);
        SDL_PauseAudioDevice(g.device, 1);
        // Once the lock is held the audio thread is outside the callback, and paused it stays out.
        SDL_LockAudioDevice(g.device);
        SDL_UnlockAudioDevice(g.device);
        g.state = State::Initialised;
        return TRUE;
    });
}

MIDASmodule MIDASloadModule(char* fileName) {
    return guarded<MIDASmodule>(0, [&]() -> MIDASmodule {
        if (!ready()) return 0;
        std::vector<std::byte> bytes;
        int error = MIDAS_OK;
        if (!midas::readModuleFile(fileName, bytes, error)) {
            g_lastError = error;
            return 0;
        }
        const std::uint32_t h = g.engine->load(std::move(bytes), error);
        if (!h) g_lastError = error;
        return h;
    });
}

BOOL MIDASgetModuleInfo(MIDASmodule module, MIDASmoduleInfo* info) {
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!ready()) return FALSE;
        if (!info) return fail(MIDAS_ERR_BAD_ARGUMENT);
        int error = MIDAS_OK;
        return g.engine->info(module, *info, error) ? TRUE : fail(error);
    });
}

MIDASmodulePlayHandle MIDASplayModule(MIDASmodule module, BOOL loopSong) {
    return guarded<MIDASmodulePlayHandle>(0, [&]() -> MIDASmodulePlayHandle {
        if (!ready()) return 0;
        int error = MIDAS_OK;
        const std::uint32_t h = g.engine->play(module, loopSong != 0, error);
        if (!h) g_lastError = error;
        return h;
    });
}

BOOL MIDASstopModule(MIDASmodulePlayHandle playHandle) {
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!ready()) return FALSE;
        int error = MIDAS_OK;
        return g.engine->stop(playHandle, error) ? TRUE : fail(error);
    });
}

BOOL MIDASfreeModule(MIDASmodule module) {
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!ready()) return FALSE;
        int error = MIDAS_OK;
        return g.engine->free(module, error) ? TRUE : fail(error);
    });
}

BOOL MIDASclose(void) {
    return guarded<BOOL>(TRUE, [&]() -> BOOL {
        closeOutput();
        if (g.engine) g.engine->clear();
        g.engine.reset();
        g.state = State::Down;
        return TRUE;
    });
}

int MIDASgetLastError(void) {
    return g_lastError;
}

const char* MIDASgetErrorMessage(int errorCode) {
    switch (errorCode) {
    case MIDAS_OK:
        return "OK";
    case MIDAS_ERR_NOT_STARTED_UP:
        return "Sound system not started up";
    case MIDAS_ERR_NOT_INITIALISED:
        return "Sound system not initialised";
    case MIDAS_ERR_ALREADY_INITIALISED:
        return "Sound system already initialised";
    case MIDAS_ERR_NO_AUDIO:
        return "Unable to open audio output";
    case MIDAS_ERR_PLAY_NOT_RUNNING:
        return "Background play is not running";
    case MIDAS_ERR_PLAY_RUNNING:
        return "Background play is already running";
    case MIDAS_ERR_OPEN_FILE:
        return "Unable to open file";
    case MIDAS_ERR_READ_FILE:
        return "Unable to read file";
    case MIDAS_ERR_BAD_FORMAT:
        return "Unsupported module format";
    case MIDAS_ERR_BAD_MODULE:
        return "Invalid module handle";
    case MIDAS_ERR_BAD_PLAY_HANDLE:
        return "Invalid play handle";
    case MIDAS_ERR_BAD_ARGUMENT:
        return "Invalid argument";
    case MIDAS_ERR_OUT_OF_MEMORY:
        return "Out of memory";
    case MIDAS_ERR_OUT_OF_HANDLES:
        return "Out of handles";
    case MIDAS_ERR_INTERNAL:
        return "Internal error";
    default:
        return "Undefined error";
    }
}

} // extern "C"

static_assert(sizeof(BOOL) == 4 && sizeof(DWORD) == 4 && sizeof(MIDASmodule) == 4);
static_assert(sizeof(MIDASmoduleInfo) == 32 + 6 * 4 + 8);
