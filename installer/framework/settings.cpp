#include "framework/settings.h"

#include "desktop/ini.h"
#include "desktop/regularfile.h"

TInstallSettings InstallSettings;
std::string ProgramFolder;

void ReadInstallSettings(TInstallSettings& s, const std::string& iniPath, const std::string& programFolder) {
    // Only a regular file of sane size is read: a FIFO or device named install.ini could hang the
    // installer, a huge file exhaust its memory. Anything else reads as an empty file.
    std::string content;
    desktop::readRegularFile(iniPath, desktop::kIniFileMaxBytes, content);
    struct Key {
        const char* name;
        std::string TInstallSettings::*field;
    };
    static const Key kKeys[] = {
        {"APPZ", &TInstallSettings::AppName},      {"SIZE", &TInstallSettings::RequiredSize},
        {"DIR", &TInstallSettings::DefaultDir},    {"FILERAR", &TInstallSettings::ArchiveFile},
        {"NFO", &TInstallSettings::InfoFile},      {"REG", &TInstallSettings::OpenAfterFile},
        {"SCRTXT", &TInstallSettings::ScrollLine}, {"FILES", &TInstallSettings::VolumeCount},
    };
    for (const Key& k : kKeys) {
        std::string& field = s.*k.field;
        field = desktop::cutText(desktop::profileString(content, "OPTIONS", k.name, field), kSettingMaxChars);
    }
    s.OpenAfterPath = programFolder + s.OpenAfterFile;
}
