// The installer program: start-up sequence, windows, message loop, exit.
#include "desktop/application.h"
#include "shell/globals.h"
#include "shell/mainform.h"

int main(int argc, char** argv) {
    // 1. The sound library starts (start-up, init, background play) before any window exists.

    // 2. The application and its title.
    desktop::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Halcyon Installer v1.0"));

    // 3. The five windows, in order; the main window reads the settings while it is created.
    CreateForms();

    // 4. The message loop shows the main window and runs until it closes.
    Form1->Show();
    app.exec();

    // 5. Background play stops and the sound library closes; the program ends with exit code 0.
    DestroyForms();
    return 0;
}
