#include "setup/makedirform.h"

TForm3::TForm3(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Make directory"));
    setBorderIcons(forms::BorderIcons::None);
    setClientSize(282, 101);
    setFont(forms::makeFont(QStringLiteral("MS Sans Serif"), 11));
}
