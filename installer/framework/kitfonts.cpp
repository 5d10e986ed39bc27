#include "framework/kitfonts.h"

#include <QDir>
#include <QFontDatabase>
#include <QString>

#include <cstdlib>
#include <sys/stat.h>

namespace {

std::string fontFolder(const std::string& programFolder) {
    return programFolder + "runtime/fonts/";
}

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool PrepareKitFonts(const std::string& programFolder) {
    const std::string config = fontFolder(programFolder) + "fonts.conf";
    if (std::getenv("FONTCONFIG_FILE") || std::getenv("FONTCONFIG_PATH") || !isFile(config)) return false;
    return ::setenv("FONTCONFIG_FILE", config.c_str(), 1) == 0;
}

int LoadKitFonts(const std::string& programFolder) {
    const QDir dir(QString::fromStdString(fontFolder(programFolder)));
    int added = 0;
    for (const QString& file : dir.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files))
        if (QFontDatabase::addApplicationFont(dir.filePath(file)) >= 0) ++added;
    return added;
}
