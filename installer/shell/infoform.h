#pragma once
// The info-file viewer.
#include "framework/forms.h"

class TForm4 : public forms::TForm {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};
