#include "shell/music.h"

#include "desktop/services.h"
#include "shell/mainform.h"

#include <midas/midas.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

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
    if (!(MIDASinit() & 0xFF)) SoundFatal(kSoundErrorCaption);
    if (!(MIDASstartBackgroundPlay(0) & 0xFF)) SoundFatal(kSoundErrorCaption);
}

int StopSound() {
    if (!(MIDASstopBackgroundPlay() & 0xFF)) SoundFatal(kSoundErrorCaption);
    MIDASclose();
    return 0;
}

void TForm1::Playmod(const std::string& fileName) {
    if (!fileName.empty()) {
        if (PlayHandle != 0 && !(MIDASstopModule(PlayHandle) & 0xFF)) SoundFatal(kPlaymodErrorCaption);
        PlayHandle = 0;
        if (Module != 0 && !(MIDASfreeModule(Module) & 0xFF)) SoundFatal(kPlaymodErrorCaption);
        std::vector<char> name(fileName.begin(), fileName.end());
        name.push_back('\0');
        Module = MIDASloadModule(name.data());
        if (Module == 0) SoundFatal(kPlaymodErrorCaption);
        MIDASmoduleInfo info{};
        if (!(MIDASgetModuleInfo(Module, &info) & 0xFF)) SoundFatal(kPlaymodErrorCaption);
    }
    PlayHandle = MIDASplayModule(Module, 1);
    if (PlayHandle == 0) SoundFatal(kPlaymodErrorCaption);
}
