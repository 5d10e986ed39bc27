#pragma once
// The extraction dialog "Prepare to Install....".
#include "framework/forms.h"

class TForm5 : public forms::TForm {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};
