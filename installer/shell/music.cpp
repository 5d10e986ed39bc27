#include "shell/music.h"

#include "desktop/services.h"
#include "framework/programlibrary.h"
#include "shell/mainform.h"

#include <midas/midas.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// The sound library's calls. The library is loaded when the sound starts, by the thread that starts
// it: it brings many libraries of its own (the audio output's, the module decoder's), and loading
// those before the first window would hold that window up. It is looked for in the program's folder
// first, then where the program's own libraries are.
struct SoundLibrary {
    decltype(&MIDASstartup) startup = nullptr;
    decltype(&MIDASinit) init = nullptr;
    decltype(&MIDASstartBackgroundPlay) startBackgroundPlay = nullptr;
    decltype(&MIDASloadModule) loadModule = nullptr;
    decltype(&MIDASgetModuleInfo) getModuleInfo = nullptr;
    decltype(&MIDASplayModule) playModule = nullptr;
    decltype(&MIDASstopModule) stopModule = nullptr;
    decltype(&MIDASfreeModule) freeModule = nullptr;
    decltype(&MIDASstopBackgroundPlay) stopBackgroundPlay = nullptr;
    decltype(&MIDASclose) close = nullptr;
    decltype(&MIDASgetLastError) getLastError = nullptr;
    decltype(&MIDASgetErrorMessage) getErrorMessage = nullptr;
    std::string problem; // why it could not be loaded; empty when it was
};

SoundLibrary loadSoundLibrary() {
    ProgramLibrary library(kSoundLibraryFile, "sound library");
    SoundLibrary lib;
    library.bind(lib.startup, "MIDASstartup");
    library.bind(lib.init, "MIDASinit");
    library.bind(lib.startBackgroundPlay, "MIDASstartBackgroundPlay");
    library.bind(lib.loadModule, "MIDASloadModule");
    library.bind(lib.getModuleInfo, "MIDASgetModuleInfo");
    library.bind(lib.playModule, "MIDASplayModule");
    library.bind(lib.stopModule, "MIDASstopModule");
    library.bind(lib.freeModule, "MIDASfreeModule");
    library.bind(lib.stopBackgroundPlay, "MIDASstopBackgroundPlay");
    library.bind(lib.close, "MIDASclose");
    library.bind(lib.getLastError, "MIDASgetLastError");
    library.bind(lib.getErrorMessage, "MIDASgetErrorMessage");
    lib.problem = library.problem();
    return lib;
}

// Loaded once, by whichever thread asks first.
const SoundLibrary& midas() {
    static const SoundLibrary lib = loadSoundLibrary();
    return lib;
}

bool ok(BOOL result) {
    return (result & 0xFF) != 0;
}

bool startSteps() {
    const SoundLibrary& m = midas();
    if (!m.problem.empty()) return false;
    m.startup();
    return ok(m.init()) && ok(m.startBackgroundPlay(0));
}

// The sound thread: runs the program's work with the sound library (the start-up, the music of the
// main window's first showing) one job after another, so the library is only ever called by one
// thread at a time. It lives as long as the process: the audio system keeps state for each thread
// that calls it, which would be lost (leaked) with a thread that ends.
class SoundThread {
  public:
    static SoundThread& get() {
        static SoundThread* thread = new SoundThread; // never destroyed: see above
        started = true;
        return *thread;
    }
    // Waits until every job given so far is done (nothing to wait for when none ever was).
    static void waitIdle() {
        if (!started) return;
        SoundThread& t = get();
        std::unique_lock lock(t.mutex_);
        t.idle_.wait(lock, [&] { return t.jobs_.empty() && !t.busy_; });
    }
    void post(std::function<void()> job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

  private:
    SoundThread() {
        std::thread([this] { run(); }).detach();
    }
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return !jobs_.empty(); });
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            busy_ = true;
            lock.unlock();
            job();
            lock.lock();
            busy_ = false;
            if (jobs_.empty()) idle_.notify_all();
        }
    }
    static inline std::atomic<bool> started{false};
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
};

// Whether the sound library started; written and read by the sound thread's jobs (true when the
// start-up ran on the user-interface thread instead).
bool gStarted = true;

// Whether the start-up was asked for (user-interface thread): the exit has nothing to stop when the
// program ends before it was.
bool gStartRequested = false;

} // namespace

void SoundFatal(const QString& caption) {
    const SoundLibrary& m = midas();
    const QString text = m.problem.empty() ? QString::fromLocal8Bit(m.getErrorMessage(m.getLastError()))
                                           : QString::fromStdString(m.problem);
    desktop::messageBoxes().show(nullptr, {caption, text, desktop::BoxIcon::None});
    if (m.problem.empty()) m.close();
    // Ends here: no handler, destructor or exit routine of the program runs any more; the system
    // takes the windows down with the process.
    std::fflush(nullptr);
    std::_Exit(0);
}

void StartSound() {
    gStartRequested = true;
    if (!startSteps()) SoundFatal(kSoundErrorCaption);
}

void StartSoundInBackground() {
    if (gStartRequested) return;
    gStartRequested = true;
    SoundThread::get().post([] { gStarted = startSteps(); });
}

bool PlaymodSteps(std::uint32_t& module, std::uint32_t& playHandle, const std::string& fileName) {
    const SoundLibrary& m = midas();
    if (!m.problem.empty()) return false;
    if (!fileName.empty()) {
        if (playHandle != 0 && !ok(m.stopModule(playHandle))) return false;
        playHandle = 0;
        if (module != 0 && !ok(m.freeModule(module))) return false;
        std::vector<char> name(fileName.begin(), fileName.end());
        name.push_back('\0');
        module = m.loadModule(name.data());
        if (module == 0) return false;
        MIDASmoduleInfo info{};
        if (!ok(m.getModuleInfo(module, &info))) return false;
    }
    playHandle = m.playModule(module, 1);
    return playHandle != 0;
}

void TForm1::Playmod(const std::string& fileName) {
    if (!PlaymodSteps(Module, PlayHandle, fileName)) SoundFatal(kPlaymodErrorCaption);
}

void PlaymodInBackground(TForm1* form, const std::string& fileName) {
    std::uint32_t module = form->Module, playHandle = form->PlayHandle;
    SoundThread::get().post([=, target = QPointer<TForm1>(form)]() mutable {
        const bool running = gStarted;
        const bool playing = running && PlaymodSteps(module, playHandle, fileName);
        // The outcome goes to the user-interface thread; it is dropped if the window has gone by
        // then (the program is ending, and its exit closes the library).
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [=] {
                SoundThread::waitIdle();
                if (!target) return;
                if (!running) SoundFatal(kSoundErrorCaption);
                if (!playing) SoundFatal(kPlaymodErrorCaption);
                target->Module = module;
                target->PlayHandle = playHandle;
            },
            Qt::QueuedConnection);
    });
}

int StopSound() {
    if (!gStartRequested) return 0;
    SoundThread::waitIdle();
    const SoundLibrary& m = midas();
    if (!m.problem.empty() || !ok(m.stopBackgroundPlay())) SoundFatal(kSoundErrorCaption);
    m.close();
    return 0;
}
