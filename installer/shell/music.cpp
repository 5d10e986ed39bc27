#include "shell/music.h"

#include "desktop/services.h"
#include "shell/mainform.h"

#include <midas/midas.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

namespace {

bool ok(BOOL result) {
    return (result & 0xFF) != 0;
}

bool startSteps() {
    MIDASstartup();
    return ok(MIDASinit()) && ok(MIDASstartBackgroundPlay(0));
}

// The sound thread's work: the start-up, and the music of the main window's first showing. Each
// waits for the one before, so the library is only ever called by one thread at a time.
std::shared_future<bool> gStarted;
std::shared_future<void> gPlayed;

void waitForSoundThread() {
    if (gPlayed.valid()) gPlayed.wait();
    if (gStarted.valid()) gStarted.wait();
}

} // namespace

void SoundFatal(const QString& caption) {
    const int code = MIDASgetLastError();
    const QString text = QString::fromLocal8Bit(MIDASgetErrorMessage(code));
    desktop::messageBoxes().show(nullptr, {caption, text, desktop::BoxIcon::None});
    MIDASclose();
    // Ends here: no handler, destructor or exit routine of the program runs any more; the system
    // takes the windows down with the process.
    std::fflush(nullptr);
    std::_Exit(0);
}

void StartSound() {
    MIDASstartup();
    if (!ok(MIDASinit())) SoundFatal(kSoundErrorCaption);
    if (!ok(MIDASstartBackgroundPlay(0))) SoundFatal(kSoundErrorCaption);
}

void StartSoundInBackground() {
    gStarted = std::async(std::launch::async, startSteps).share();
}

bool PlaymodSteps(std::uint32_t& module, std::uint32_t& playHandle, const std::string& fileName) {
    if (!fileName.empty()) {
        if (playHandle != 0 && !ok(MIDASstopModule(playHandle))) return false;
        playHandle = 0;
        if (module != 0 && !ok(MIDASfreeModule(module))) return false;
        std::vector<char> name(fileName.begin(), fileName.end());
        name.push_back('\0');
        module = MIDASloadModule(name.data());
        if (module == 0) return false;
        MIDASmoduleInfo info{};
        if (!ok(MIDASgetModuleInfo(module, &info))) return false;
    }
    playHandle = MIDASplayModule(module, 1);
    return playHandle != 0;
}

void TForm1::Playmod(const std::string& fileName) {
    if (!PlaymodSteps(Module, PlayHandle, fileName)) SoundFatal(kPlaymodErrorCaption);
}

void PlaymodInBackground(TForm1* form, const std::string& fileName) {
    const std::shared_future<bool> started = gStarted;
    const std::shared_future<void> before = gPlayed;
    std::uint32_t module = form->Module, playHandle = form->PlayHandle;
    gPlayed = std::async(std::launch::async, [=, target = QPointer<TForm1>(form)]() mutable {
                  if (before.valid()) before.wait();
                  const bool running = !started.valid() || started.get();
                  const bool playing = running && PlaymodSteps(module, playHandle, fileName);
                  // The outcome goes to the user-interface thread; it is dropped if the window has
                  // gone by then (the program is ending, and its exit closes the library).
                  QMetaObject::invokeMethod(
                      QCoreApplication::instance(),
                      [=] {
                          waitForSoundThread();
                          if (!target) return;
                          if (!running) SoundFatal(kSoundErrorCaption);
                          if (!playing) SoundFatal(kPlaymodErrorCaption);
                          target->Module = module;
                          target->PlayHandle = playHandle;
                      },
                      Qt::QueuedConnection);
              }).share();
}

int StopSound() {
    waitForSoundThread();
    if (!ok(MIDASstopBackgroundPlay())) SoundFatal(kSoundErrorCaption);
    MIDASclose();
    return 0;
}
