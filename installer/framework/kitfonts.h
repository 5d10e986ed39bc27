#pragma once
// The fonts a kit carries in runtime/fonts beside the installer, so its windows draw the same on a
// system that has none of them.
#include <string>

// Before the application object exists and before anything reads the font configuration: points
// fontconfig at the kit's configuration (the system's own, where it has one, with the kit's fonts
// added), unless the user has chosen a configuration (FONTCONFIG_FILE or FONTCONFIG_PATH set).
// Returns whether it did; false outside a kit.
bool PrepareKitFonts(const std::string& programFolder);

// With the application object, for when the configuration could not be the kit's: adds every font
// file of the kit as an application font. Returns the number of files added (0 outside a kit).
int LoadKitFonts(const std::string& programFolder);
