#pragma once
// The installer's use of the sound library: starting it, closing it at the end, and the fatal path
// every failure of the library takes. `TForm1::Playmod`, which loads and plays the music, is defined
// in music.cpp too.
//
// Opening the audio output and loading the module take a while (tens of milliseconds, more on a
// machine whose sound system answers slowly), so the program does both on a sound thread of its
// own: the main window shows at once and the music joins it. Every call into the library is made by
// one thread at a time, and failures are reported on the user-interface thread.
#include <QString>

#include <cstdint>
#include <string>

class TForm1;

// The sound library, loaded when the sound starts: from the program's folder, else from where the
// program's libraries are. Missing, or lacking one of its calls, it fails the start-up like any
// other failure of the library ("MIDAS Error", with the loader's reason).
inline constexpr const char* kSoundLibraryFile = "libmidas.so";

// Message box captions of the fatal path: failures inside Playmod, and at start-up or exit.
inline const QString kPlaymodErrorCaption = QStringLiteral("MIDAS ERROR");
inline const QString kSoundErrorCaption = QStringLiteral("MIDAS Error");

// Shows the library's message for its last error in a box with `caption` and one OK button, closes
// the library and ends the program at once with exit code 0. No further handler runs.
[[noreturn]] void SoundFatal(const QString& caption);

// Start-up: MIDASstartup, MIDASinit, MIDASstartBackgroundPlay(0); a failure takes the fatal path
// ("MIDAS Error").
void StartSound();

// The same start-up on the sound thread; the program goes on at once. Its outcome is taken up by
// the first PlaymodInBackground, which reports a failure through the fatal path ("MIDAS Error").
// Does nothing when the start-up was asked for before (either way).
void StartSoundInBackground();

// Playmod(fileName) of `form` on the sound thread, once the sound library has started. Back on the
// user-interface thread the form gets its new Module and PlayHandle, or the fatal path runs.
void PlaymodInBackground(TForm1* form, const std::string& fileName);

// Exit: waits for the sound thread, then MIDASstopBackgroundPlay (a failure takes the fatal path,
// "MIDAS Error"), then MIDASclose. The loaded module is neither stopped nor freed first. Nothing
// of that when the program ends before the start-up was asked for. Returns the program's exit
// code, 0.
int StopSound();

// Playmod's calls into the library on the handles given; false when one failed (the library's
// last error says which).
bool PlaymodSteps(std::uint32_t& module, std::uint32_t& playHandle, const std::string& fileName);
