#include "shell/infoform.h"

TForm4::TForm4(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("NFO"));
    setBorderIcons(forms::BorderIcons::CloseOnly);
    setClientSize(514, 422);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
}
