#include "framework/kitfonts.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace {

std::string fontFolder(const std::string& programFolder) {
    return programFolder + "runtime/fonts/";
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFontFileName(const std::string& name) {
    auto endsWith = [&](const char* suffix) {
        const std::string s(suffix);
        return name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
    };
    return endsWith(".ttf") || endsWith(".otf");
}

int applicationFaces() {
    const FcFontSet* set = FcConfigGetFonts(nullptr, FcSetApplication);
    return set ? set->nfont : 0;
}

bool namesACacheFolder(FcConfig* config) {
    FcStrList* folders = FcConfigGetCacheDirs(config);
    if (!folders) return false;
    const bool any = FcStrListNext(folders) != nullptr;
    FcStrListDone(folders);
    return any;
}

} // namespace

bool PrepareKitFonts(const std::string& programFolder) {
    const std::string config = fontFolder(programFolder) + "fonts.conf";
    if (std::getenv("FONTCONFIG_FILE") || std::getenv("FONTCONFIG_PATH") || !isFile(config)) return false;
    return ::setenv("FONTCONFIG_FILE", config.c_str(), 1) == 0;
}

int AddKitFonts(const std::string& programFolder) {
    const std::string folder = fontFolder(programFolder);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    int added = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string file = folder + entry->d_name;
        if (!isFontFileName(entry->d_name) || !isFile(file)) continue;
        // Fontconfig accepts a file it finds no face in; only a file that brought faces counts.
        const int before = applicationFaces();
        if (FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(file.c_str())) &&
            applicationFaces() > before)
            ++added;
    }
    ::closedir(dir);
    return added;
}

bool ReadFontConfiguration() {
    FcConfig* config = FcConfigCreate();
    if (!config) return FcInit();
    const bool read = FcConfigParseAndLoad(config, nullptr, FcTrue) && namesACacheFolder(config) &&
                      FcConfigBuildFonts(config) && FcConfigSetCurrent(config);
    FcConfigDestroy(config); // the current configuration holds a reference of its own
    return read || FcInit();
}
