// The installer program: start-up sequence, windows, message loop, exit.
#include "desktop/application.h"
#include "desktop/system.h"
#include "framework/firstframe.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/kitfonts.h"
#include "setup/silentinstall.h"
#include "shell/hooks.h"
#include "shell/mainform.h"
#include "shell/music.h"

#include <iostream>

int main(int argc, char** argv) {
    // The unattended mode and the usage text run without windows or music.
    const InstallCommand command = ParseInstallCommand(argc, argv);
    switch (command.mode) {
    case InstallCommand::Mode::Help:
        std::cout << kInstallUsage;
        return 0;
    case InstallCommand::Mode::Invalid:
        std::cerr << "install: " << command.problem << "\n" << kInstallUsage;
        return 2;
    case InstallCommand::Mode::Silent:
        return RunSilentInstall(desktop::folderOf(desktop::programFile()), command.dir, std::cout, std::cerr);
    case InstallCommand::Mode::Windows:
        break;
    }

    // The fonts a kit carries: fontconfig is pointed at them before anything reads its configuration.
    const std::string programFolder = desktop::folderOf(desktop::programFile());
    const bool kitFontConfig = PrepareKitFonts(programFolder);

    // 1. The sound library starts (start-up, init, background play) on its own thread, so the window
    // never waits for the audio output to open. The application object comes first: every failure
    // of the library is shown in its box.
    desktop::Application app(argc, argv);
    StartSoundInBackground();
    // Where the user chose the font configuration, the kit's fonts are added to it before the
    // configuration is read in the background.
    if (!kitFontConfig) LoadKitFonts(programFolder);
    forms::PrepareFontsInBackground();

    // 2. The application's title.
    QApplication::setApplicationName(QStringLiteral("Halcyon Installer v1.0"));

    // 3. The five windows, in order; the main window reads the settings while it is created. The
    // other four are built once the main window's first frame is on the screen.
    CreateMainForm();

    // 4. The message loop shows the main window and runs until it closes. The music joins the
    // window once its first frame is on the screen.
    ArmStartHooks(Form1);
    Form1->Show();
    forms::AfterFirstFrame(Form1, CreateOtherForms);
    app.exec();

    // 5. Background play stops and the sound library closes; the program ends with exit code 0.
    // The music module is left to the library's close.
    const int code = StopSound();
    DestroyForms();
    return code;
}
