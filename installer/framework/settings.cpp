#include "framework/settings.h"

#include "desktop/ini.h"

#include <fstream>
#include <iterator>

TInstallSettings InstallSettings;
std::string ProgramFolder;

void ReadInstallSettings(TInstallSettings& s, const std::string& iniPath, const std::string& programFolder) {
    std::string content;
    if (std::ifstream in(iniPath, std::ios::binary); in) {
        content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
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
