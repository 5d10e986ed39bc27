#pragma once
// The fonts a kit carries in runtime/fonts beside the installer, so its windows draw the same on a
// system that has none of them.
#include <string>

// Before the application object exists: on a system without a font configuration of its own (no
// system configuration file, FONTCONFIG_FILE and FONTCONFIG_PATH unset), points fontconfig at the
// kit's. Returns whether it did.
bool PrepareKitFonts(const std::string& programFolder,
                     const std::string& systemConfig = "/etc/fonts/fonts.conf");

// With the application object: adds every font file of the kit as an application font. Returns the
// number of files added (0 outside a kit).
int LoadKitFonts(const std::string& programFolder);
