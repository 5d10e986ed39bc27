// The string table that the host reads, the library's message box and its own folder.
#include "messages.h"

#include "borderfx/borderfx.h"

#include "desktop/services.h"
#include "desktop/system.h"
#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QString>

#include "imagelib/stringtable.h"
#include <algorithm>

#include <cstring>

namespace borderfx {

namespace {

// In the texts "\n\r" is a line feed followed by a carriage return, stored in that order.
const tv32::StringEntry kStrings[] = {
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
    return tv32::TableText(kStrings, id);
}

int RecordError(int32_t code, int32_t shownMessage) {
    c32SetDLLErrInfo(0, 0, code, shownMessage, 0, 0);
    return 0;
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

int ShowLibraryMessage(int32_t id, int32_t code, int32_t first, int32_t second, int32_t reset,
                       TV32HWND owner) {
    char caption[260] = {0}, text[260] = {0};
    auto own = [](int32_t i, char* buffer) {
        const char* t = StringText(i);
        if (!t) return;
        std::strncpy(buffer, t, 259);
        buffer[259] = '\0';
    };
    if (id < 500 || id >= 700)
        c32GetString(id, text, 260);
    else
        own(id, text);
    own(kCaptionId, caption);
    C32MSGBOX box{owner, caption, 0x30, text, 1, 1, code, first, second, reset, 0};
    if (reset == 0) c32ResetDLLErrInfo();
    if (qApp) QApplication::beep();
    return c32ShowMb(&box);
}

namespace {
bool gHelpOpened = false;
}

std::string HelpPath() {
    return ModuleDir() + "nf4ps.hlp >d";
}

int ShowHelp(TV32HWND window, int32_t context) {
    if (!tv32::ensureApplication() && qEnvironmentVariableIsEmpty(desktop::kDesktopLogVariable)) return 0;
    gHelpOpened = desktop::help().showContext(tv32::widgetFromHandle(window),
                                              QString::fromStdString(HelpPath()), int(context));
    return gHelpOpened ? 1 : 0;
}

void CloseHelp(TV32HWND window) {
    if (!gHelpOpened) return;
    desktop::help().quit(tv32::widgetFromHandle(window), QString::fromStdString(HelpPath()));
    gHelpOpened = false;
}

bool HelpOpened() {
    return gHelpOpened;
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
    return tv32::CopyTableText(borderfx::StringText(id), buffer, size);
}

TV32_API int32_t TV32_CALL BorderfxFilterOutside(void) {
    return BFX_FILTEROUTSIDE_VALUE;
}

} // extern "C"
