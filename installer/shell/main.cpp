// The installer program: start-up sequence, windows, message loop, exit.
#include "desktop/application.h"
#include "desktop/system.h"
#include "framework/globals.h"
#include "framework/kitfonts.h"
#include "setup/silentinstall.h"
#include "shell/mainform.h"
#include "shell/music.h"

#include <QTimer>

#include <cstdlib>
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

    // 1. The sound library starts (start-up, init, background play) before any window exists.
    StartSound();

    // 2. The application and its title; the fonts a kit carries are there before any window.
    const std::string programFolder = desktop::folderOf(desktop::programFile());
    PrepareKitFonts(programFolder);
    desktop::Application app(argc, argv);
    LoadKitFonts(programFolder);
    QApplication::setApplicationName(QStringLiteral("Halcyon Installer v1.0"));

    // 3. The five windows, in order; the main window reads the settings while it is created.
    CreateForms();

    // 4. The message loop shows the main window and runs until it closes.
    Form1->Show();
    if (const char* ms = std::getenv(kQuitAfterVariable); ms && *ms)
        QTimer::singleShot(std::atoi(ms), Form1, [] { Form1->Quit1Click(); });
    app.exec();

    // 5. Background play stops and the sound library closes; the program ends with exit code 0.
    // The music module is left to the library's close.
    const int code = StopSound();
    DestroyForms();
    return code;
}
