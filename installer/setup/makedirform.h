#pragma once
// The make-directory dialog "Make directory": creates a folder in the chooser's open directory and
// opens it there.
#include "framework/controls.h"
#include "framework/forms.h"

#include <QLineEdit>

#include <string>

// The text of the error raised when the folder `name` cannot be made (`error` as errno reports it).
std::string MakeDirectoryError(const QString& name, int error);

class TForm3 : public forms::TForm {
    Q_OBJECT
  public:
    explicit TForm3(QWidget* parent = nullptr);

    TLabel* Label1;
    QLineEdit* Edit1;
    TSpeedButton* SpeedButton1; // "&Ok"
    TSpeedButton* SpeedButton2; // "&Cancel"

    void SpeedButton1Click();
    void SpeedButton2Click();

  protected:
    void FormActivate() override;
};
