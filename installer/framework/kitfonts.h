#pragma once
// The fonts: the ones a kit carries in runtime/fonts beside the installer, so its windows draw the
// same on a system that has none of them, and the reading of the font configuration, which takes
// milliseconds and so is start-up work the program shares with a helper thread (StartupWork). Plain
// fontconfig, without the toolkit: it starts before the application object exists.
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

// Reads the font configuration and makes it fontconfig's current one, as fontconfig's own first use
// (FcInit) does, less the pass over the configuration templates (conf.avail), which only serves
// tools that list them and is about a third of the reading on Debian 12. Where the outcome could
// differ from FcInit's (a configuration that does not load or names no cache folder, fonts that
// cannot be listed) FcInit does the work instead. Returns whether there is a configuration. For the
// start of the program, before anything else uses fontconfig.
bool ReadFontConfiguration();
