// The installer program: start-up sequence, windows, message loop, exit.
#include "desktop/application.h"
#include "desktop/system.h"
#include "framework/firstframe.h"
#include "framework/forms.h"
#include "framework/globals.h"
#include "framework/kitfonts.h"
#include "framework/startupwork.h"
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

    // Reading the font configuration (with the fonts a kit carries) and decoding the main window's
    // pictures take milliseconds and need no window: a helper thread starts on them now, and the
    // application object is built meanwhile; then this thread does what the helper has not begun.
    const std::string programFolder = desktop::folderOf(desktop::programFile());
    const bool kitConfiguration = PrepareKitFonts(programFolder);
    StartupWork work({[&] {
                          ReadFontConfiguration();
                          if (!kitConfiguration) AddKitFonts(programFolder);
                      },
                      [] { TForm1::DecodePictures(); }});

    // 1. The application object; every failure of the sound library is shown in its box.
    desktop::Application app(argc, argv);

    // 2. The application's title.
    QApplication::setApplicationName(QStringLiteral("Halcyon Installer v1.0"));

    // Fonts and pictures before the first window: what the helper has not begun is done here.
    work.finish();

    // 3. The five windows, in order; the main window reads the settings while it is created. The
    // other four are built once the main window's first frame is on the screen.
    CreateMainForm();

    // 4. The message loop shows the main window and runs until it closes. Once its first frame is on
    // the screen, the sound library starts (start-up, init, background play) on the sound thread and
    // the music joins the window: neither the library nor the audio output delays the window.
    ArmStartHooks(Form1);
    forms::AfterFirstFrame(Form1, StartSoundInBackground);
    Form1->Show();
    forms::AfterFirstFrame(Form1, CreateOtherForms);
    app.exec();

    // 5. Background play stops and the sound library closes; the program ends with exit code 0.
    // The music module is left to the library's close.
    const int code = StopSound();
    DestroyForms();
    return code;
}
