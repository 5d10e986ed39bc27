#pragma once
// The destination chooser "Select a Directory": drive list, directory tree, free against required
// space, and the buttons install, make a directory, cancel.
#include "framework/controls.h"
#include "framework/forms.h"
#include "setup/dirlist.h"

#include <QFrame>

class TForm2 : public forms::TForm {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    TDriveComboBox* DriveComboBox1;
    TDirectoryListBox* DirectoryListBox1;
    QFrame* Bevel1;
    TLabel* Label1;
    TLabel* Label3; // free space
    TLabel* Label2;
    TLabel* Label4;             // required space
    TSpeedButton* SpeedButton1; // "&Install"
    TSpeedButton* SpeedButton2; // "&Make Dir"
    TSpeedButton* SpeedButton3; // "&Cancel"
    TImage* Image2;             // banner

    void DriveComboBox1Change();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();

  protected:
    void FormActivate() override;
    void FormShow() override;
};
