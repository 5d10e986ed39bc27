#include "setup/chooserform.h"

TForm2::TForm2(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Select a Directory"));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(321, 334);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
}
