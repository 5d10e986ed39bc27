#pragma once
// The make-directory dialog "Make directory".
#include "framework/forms.h"

class TForm3 : public forms::TForm {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};
