// The string table that the host reads, the library's message box and its own folder.
#include "messages.h"

#include "borderfx/borderfx.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "imagelib/tv32qt.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace borderfx {

namespace {

struct Entry {
    int32_t id;
    const char* text;
};

// In the texts "\n\r" is a line feed followed by a carriage return, stored in that order.
const Entry kStrings[] = {
    {501, "Unable to obtain installation information from registry."},
    {502, "Unable to load DLL. \n\rPlease re-install Talvor Sitecraft for Photoshop."},
    {503, "Unable to execute the specified function."},
    {504, "Unable to apply this filter."},
    {505, "Unable to load texture file."},
    {506, "Unable to apply this filter. \n\rPlease make a selection in the image and try again."},
    {507, "Unable to apply this filter. \n\rPlease convert the image to RGB true-color or grayscale first."},
    {508, "Insufficient memory. \n\rPlease close some programs and try again."},
    {509, "This value is not within the valid range. Please try again."},
    {510, "Please input a value between "},
    {511, "Online help is not available for the Beta release."},
    {700, "Frame and Shadow - Talvor Sitecraft"},
    {701, "Software\\Talvor Systems\\Netfold for APS\\1.0\\path"},
    {702, "Talvor Sitecraft \\Frame and Shadow..."},
    {703, "Select\\None"},
    {704, "\n\rPlease re-install Talvor Sitecraft for Photoshop."},
    // Base names of the image libraries.
    {11900, "tv32brows"},
    {11901, "tv32print"},
    {11902, "tv32feui"},
    {11903, "tv32txtur"},
    {11904, "tv32tu"},
    {11905, "tv32tx"},
    {11906, "tv32r2v"},
    {11907, "tv32cvt"},
    {11909, "tv32txtur"},
    {11910, "tv32base"},
    {11911, "tv32base"},
    {11912, "tv32base"},
    {11913, "tv32base"},
    {11914, "tv32base"},
    {11915, "tv32comm"},
    {11916, "tv32comm"},
    {11917, "tv32clips"},
    {11918, "tv32clips"},
    {11919, "tv32sel"},
    {16997, "This plug-in requires Adobe Photoshop 2.5 or later to function properly."},
    {16998, "This plug-in is not compatible with the current version of the host program."},
    {16999, "This plug-in requires Adobe Photoshop 2.5.2 or later to function properly"},
};

// A stored line break ("\n\r" or "\r\n") as the box shows it.
QString forDisplay(const char* text) {
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

} // namespace

const char* StringText(int32_t id) {
    for (const Entry& e : kStrings)
        if (e.id == id) return e.text;
    return nullptr;
}

int ShowError(int32_t id, const char* extra, TV32HWND owner) {
    if (id < 500 || id > 699) return 0;
    const char* text = StringText(id);
    if (!text) return 0;
    QString body = forDisplay(text);
    if (extra) body += QLatin1Char('\n') + QString::fromUtf8(extra);
    if (!tv32::ensureApplication() && qEnvironmentVariableIsEmpty(desktop::kDesktopLogVariable)) return 0;
    desktop::messageBoxes().show(tv32::widgetFromHandle(owner),
                                 {forDisplay(StringText(kCaptionId)), body, desktop::BoxIcon::Error});
    return 1;
}

std::string ModuleDir() {
    return desktop::folderOf(desktop::moduleFileOf(reinterpret_cast<const void*>(&ModuleDir)));
}

int GetModuleDir(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return 0;
    const std::string dir = ModuleDir();
    if (dir.empty() || dir.size() + 1 > size) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return 1;
}

} // namespace borderfx

extern "C" {

TV32_API int TV32_CALL BorderfxLoadString(int32_t id, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return 0;
    const char* text = borderfx::StringText(id);
    if (!text) {
        buffer[0] = '\0';
        return 0;
    }
    const std::size_t n = std::min(std::strlen(text), std::size_t(size - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return int(n);
}

TV32_API int32_t TV32_CALL BorderfxFilterOutside(void) {
    return BFX_FILTEROUTSIDE_VALUE;
}

} // extern "C"
