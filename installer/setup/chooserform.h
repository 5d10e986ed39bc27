#pragma once
// The destination chooser "Select a Directory".
#include "framework/forms.h"

class TForm2 : public forms::TForm {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
};
