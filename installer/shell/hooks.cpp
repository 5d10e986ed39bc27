#include "shell/hooks.h"

#include "framework/firstframe.h"
#include "shell/mainform.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Answers the message box that is up, if any, and says which one it was.
bool answerBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return false;
    std::fprintf(stderr, "install: box\t%s\t%s\n", qPrintable(box->windowTitle()), qPrintable(box->text()));
    std::fflush(stderr);
    box->done(QMessageBox::Ok);
    return true;
}

} // namespace

void ArmStartHooks(TForm1* form) {
    if (std::getenv(kReportFirstFrameVariable)) {
        forms::AfterFirstFrame(form, [] {
            std::fputs("first-frame\n", stdout);
            std::fflush(stdout);
        });
    }
    const char* ms = std::getenv(kQuitAfterVariable);
    if (!ms || !*ms) return;
    // Lives with the application, so boxes shown after the message loop has ended (a failure at
    // exit) are answered too.
    auto* timer = new QTimer(qApp);
    timer->setInterval(std::atoi(ms));
    QObject::connect(timer, &QTimer::timeout, [timer, window = QPointer<TForm1>(form)] {
        timer->setInterval(50);
        if (answerBox()) return;
        if (window && window->isVisible()) window->Quit1Click();
    });
    timer->start();
}
