#pragma once
// Switches in the environment that let scripts, tests and the start-up benchmark run the whole
// installer program headless. All are unset in normal use.
class TForm1;

// When the environment names a number of milliseconds in this variable, the installer closes its
// main window that long after start-up, as the user's Quit would; a message box that is up then,
// or comes up later, is answered with OK and its title and text are written to standard error
// ("install: box<TAB>title<TAB>text").
inline constexpr const char* kQuitAfterVariable = "KIT_INSTALL_QUIT_AFTER_MS";

// When set (to anything), the installer writes the line "first-frame" to standard output once its
// main window's first frame has been painted.
inline constexpr const char* kReportFirstFrameVariable = "KIT_INSTALL_REPORT_FIRST_FRAME";

// Arms both, as the environment asks, for the main window `form`.
void ArmStartHooks(TForm1* form);
