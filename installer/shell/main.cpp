// The installer program: start-up sequence, windows, message loop, exit.
#include "desktop/application.h"

int main(int argc, char** argv) {
    desktop::Application app(argc, argv);
    app.setApplicationDisplayName(QStringLiteral("Halcyon Installer v1.0"));
    return 0;
}
