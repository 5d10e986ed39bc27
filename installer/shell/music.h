#pragma once
// The installer's use of the sound library: starting it before any window exists, closing it at
// the end, and the fatal path every failure of the library takes. `TForm1::Playmod`, which loads
// and plays the music, is defined in music.cpp too.
#include <QString>

// Message box captions of the fatal path: failures inside Playmod, and at start-up or exit.
inline const QString kPlaymodErrorCaption = QStringLiteral("MIDAS ERROR");
inline const QString kSoundErrorCaption = QStringLiteral("MIDAS Error");

// Shows the library's message for its last error in a box with `caption` and one OK button, closes
// the library and ends the program at once with exit code 0. No further handler runs.
[[noreturn]] void SoundFatal(const QString& caption);

// Start-up: MIDASstartup, MIDASinit, MIDASstartBackgroundPlay(0); a failure takes the fatal path
// ("MIDAS Error").
void StartSound();

// Exit: MIDASstopBackgroundPlay (a failure takes the fatal path, "MIDAS Error"), then MIDASclose.
// The loaded module is neither stopped nor freed first. Returns the program's exit code, 0.
int StopSound();

// When the environment names a number of milliseconds in this variable, the installer closes its
// main window that long after start-up, as the user's Quit would. Used by tests that run the whole
// program headless; unset in normal use.
inline constexpr const char* kQuitAfterVariable = "KIT_INSTALL_QUIT_AFTER_MS";
