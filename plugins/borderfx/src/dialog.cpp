// The parameter dialog.
//
// TEMPORARY: this is a minimal modal window with OK and Cancel only, so that the filter can be
// applied end to end with the default parameters. The full dialog (frame, shadow, colours,
// textures, live preview) replaces the body of RunFrameShadowDialog; the OK/Cancel protocol
// (backup of the block, restore and error information on Cancel) stays as it is here.
#include "dialog.h"

#include "messages.h"

#include "imagelib/tv32comm.h"
#include "imagelib/tv32qt.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

namespace borderfx {

namespace {

DialogHook& hook() {
    static DialogHook h;
    return h;
}

// -1: no preset answer; else 1 (OK) or 0 (Cancel).
int presetAnswer(PlugInRecord* record) {
    if (hook()) return hook()(record) ? 1 : 0;
    const QByteArray v = qgetenv(BFX_DIALOG_ANSWER_VARIABLE).trimmed().toLower();
    if (v == "ok") return 1;
    if (v == "cancel") return 0;
    return -1;
}

int showWindow(TV32HWND parent) {
    if (!tv32::ensureApplication()) return 0;
    QDialog dialog(tv32::widgetFromHandle(parent));
    dialog.setObjectName(QStringLiteral("110"));
    dialog.setWindowTitle(QString::fromUtf8(StringText(kCaptionId)));
    dialog.setModal(true);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Apply a frame and a drop shadow to the selection."), &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.adjustSize();
    tv32MoveWindow(tv32::handleOfWidget(&dialog), parent ? parent : TV32_PARENT_OF_WINDOW, 1);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

} // namespace

void SetDialogHook(DialogHook h) {
    hook() = std::move(h);
}

int RunFrameShadowDialog(TV32HWND parent, PlugInRecord* record) {
    if (!record) return 0;
    FrameShadowParams backup;
    std::memcpy(&backup, &record->params, sizeof backup);
    int answer = presetAnswer(record);
    if (answer < 0) answer = showWindow(parent);
    if (answer == 1) return 1;
    std::memcpy(&record->params, &backup, sizeof backup);
    c32SetDLLErrInfo(0, 0, 5200, 0, 0, 0);
    return 0;
}

} // namespace borderfx
