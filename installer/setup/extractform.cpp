#include "setup/extractform.h"

TForm5::TForm5(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Prepare to Install...."));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(332, 142);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
}
