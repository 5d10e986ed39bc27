#pragma once
// The fonts: the ones a kit carries in runtime/fonts beside the installer, so its windows draw the
// same on a system that has none of them, and the reading of the font configuration, which takes
// milliseconds and so is done on a thread of its own while the program starts. Plain fontconfig,
// without the toolkit: it starts before the application object exists.
#include <string>

// Before anything reads the font configuration: points fontconfig at the kit's configuration (the
// system's own, where it has one, with the kit's fonts added), unless the user has chosen a
// configuration (FONTCONFIG_FILE or FONTCONFIG_PATH set). Returns whether it did; false outside a
// kit.
bool PrepareKitFonts(const std::string& programFolder);

// For when the configuration could not be the kit's: adds every font file of the kit to the current
// configuration as an application font (read by the toolkit with the system's fonts). Returns the
// number of files added (0 outside a kit).
int AddKitFonts(const std::string& programFolder);

// PrepareKitFonts on the calling thread, then on a thread of its own the reading of the
// configuration and, where the configuration is not the kit's, AddKitFonts. Called once, before
// anything asks for fonts.
void PrepareFontsInBackground(const std::string& programFolder);

// Waits until that is done (returns at once when it is, or when it was never started). Whatever asks
// the toolkit for fonts first waits here, rather than reading the same configuration a second time.
void WaitForFonts();
