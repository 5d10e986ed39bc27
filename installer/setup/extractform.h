#pragma once
// The extraction dialog "Prepare to Install....": unpacks the configured archive into the chosen
// directory with per-file and per-volume progress, asks for missing volumes, can be cancelled, and
// at the end reports completion and opens the follow-up file and the destination.
#include "framework/controls.h"
#include "framework/forms.h"
#include "setup/extractreport.h"
#include "setup/rararc.h"
#include "setup/rarerrors.h"

#include <string>

class TForm5 : public forms::TForm {
    Q_OBJECT
  public:
    explicit TForm5(QWidget* parent = nullptr);

    TLabel* Label1;
    TProgressBar* ProgressBar1; // bytes of the current file
    TLabel* Label2;
    TProgressBar* ProgressBar2; // volumes
    TSpeedButton* SpeedButton1; // "&Extract"
    TSpeedButton* SpeedButton2; // "&Cancel"
    TRAR RAR1;

    void SpeedButton1Click();
    void SpeedButton2Click();
    void RAR1Extracting(TRAR& Sender, RARHeaderData& eFile);
    int RAR1ProcessData(TRAR& Sender, unsigned char* Addr, int BlockSize, std::int64_t Position);
    int RAR1VolumeChange(TRAR& Sender, const char* ArcName, int Mode);
    void RAR1Error(TRAR& Sender, int Error);

    bool aborted() const { return aborted_; }
    // Whether an extraction is running (from "&Extract" until the archive component returns).
    bool running() const { return running_; }
    // What became of the last run.
    const TExtractReport& report() const { return report_; }

  protected:
    void FormActivate() override;

  private:
    bool aborted_ = false;
    bool running_ = false;
    TExtractReport report_;
};
