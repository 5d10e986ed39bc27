// The about box of the package.
#include "imagelib/scabout.h"
#include "imagelib/tv32guard.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include <atomic>

#ifndef TV32_VERSION
#define TV32_VERSION "1.0"
#endif

namespace {
std::atomic<int> initCount{0};
SCABOUTHOOK aboutHook = nullptr;
} // namespace

namespace tv32 {

QString aboutText() {
    return QStringLiteral("Talvor Sitecraft\n"
                          "Version " TV32_VERSION "\n\n"
                          "Plug-ins:\n"
                          "  Frame and Shadow (borderfx)\n"
                          "  Image Map Tag (hotmap)");
}

QDialog* createAboutBox(QWidget* owner) {
    auto* dlg = new QDialog(owner);
    dlg->setObjectName(QStringLiteral("AboutBox"));
    dlg->setWindowTitle(QStringLiteral("About Talvor Sitecraft"));
    dlg->setModal(true);
    auto* layout = new QVBoxLayout(dlg);
    auto* title = new QLabel(QStringLiteral("<b>Talvor Sitecraft</b>"), dlg);
    title->setObjectName(QStringLiteral("product"));
    auto* body = new QLabel(aboutText().section('\n', 1), dlg);
    body->setObjectName(QStringLiteral("details"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addWidget(buttons);
    return dlg;
}

} // namespace tv32

extern "C" {

TV32_API int TV32_CALL InitAboutDll(void) {
    ++initCount;
    return 1;
}

TV32_API int TV32_CALL scAboutInitCount(void) {
    return initCount.load();
}

TV32_API SCABOUTHOOK TV32_CALL scSetAboutBoxHook(SCABOUTHOOK hook) {
    SCABOUTHOOK old = aboutHook;
    aboutHook = hook;
    return old;
}

TV32_API int TV32_CALL ShowAboutBox(TV32HWND owner) {
    return tv32::guardLibrary(0, [&]() -> int {
        if (aboutHook) {
            const QByteArray text = tv32::aboutText().toUtf8();
            return aboutHook(owner, text.constData()) ? 1 : 0;
        }
        if (!tv32::ensureApplication()) return 0;
        QDialog* dlg = tv32::createAboutBox(tv32::widgetFromHandle(owner));
        dlg->exec();
        delete dlg;
        return 1;
    });
}

} // extern "C"
