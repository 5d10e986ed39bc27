#pragma once
// The destination chooser "Select a Directory": drive list, directory tree, free against required
// space, and the buttons install, make a directory, cancel.
#include "framework/controls.h"
#include "framework/forms.h"
#include "setup/dirlist.h"

#include <QFrame>

class QTimer;

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

    // The free-space check of the disk shown in the drive list (it holds the directory shown).
    void DriveComboBox1Change();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();

    // How often, while the chooser is shown, it makes sure that the directory shown is still there.
    static constexpr int kWatchIntervalMs = 1000;

  protected:
    void FormActivate() override;
    void FormShow() override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    // The user chose a disk in the drive list: the folder last visited on it opens.
    void DriveComboBox1Select();
    // The directory shown changed: the drive list follows it to its disk, and a disk other than the
    // one checked last is checked.
    void followDirectory();
    void directoryLost(const QString& lost, const QString& shown);

    VisitedFolders visited_;
    Disk checkedDisk_;
    QTimer* watch_ = nullptr;
};
