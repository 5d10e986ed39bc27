#pragma once
// The installer's settings, read once from install.ini beside the program.
#include <string>

// Fields hold the text as read (bytes, UTF-8 on Linux), each cut to its first 250 characters.
struct TInstallSettings {
    std::string AppName;       // APPZ: the product's name
    std::string RequiredSize;  // SIZE: megabytes the installation needs (decimal text)
    std::string DefaultDir;    // DIR: folder name offered by the make-directory dialog
    std::string ArchiveFile;   // FILERAR: first archive volume, relative to the program folder
    std::string InfoFile;      // NFO: info text file, relative to the program folder
    std::string OpenAfterFile; // REG: file opened after installing, or "NONE"
    std::string ScrollLine;    // SCRTXT: the main window's scrolling line
    std::string VolumeCount;   // FILES: number of archive volumes (decimal text)
    std::string MusicPath;     // program folder + "install.dat"
    std::string OpenAfterPath; // program folder + REG value
};

inline constexpr std::size_t kSettingMaxChars = 250;

// The one settings record, filled by the main window's creation and only read afterwards.
extern TInstallSettings InstallSettings;
// Folder of the running installer program, with a trailing separator.
extern std::string ProgramFolder;

// Reads the section OPTIONS of `iniPath` into the eight key fields of `settings` in the order
// APPZ, SIZE, DIR, FILERAR, NFO, REG, SCRTXT, FILES, each key offered its field's current content
// as default; then OpenAfterPath := programFolder + REG value. An absent or unreadable file
// behaves as an empty one.
void ReadInstallSettings(TInstallSettings& settings, const std::string& iniPath,
                         const std::string& programFolder);
