#pragma once
// What became of one extraction run, told in the same words by the extraction dialog and the
// unattended mode: the first failure, naming the file or the volume concerned. Fed from the archive
// component's events.
#include "setup/rararc.h"

#include <string>

class TExtractReport {
  public:
    // A new run of the archive named `archiveFile` (as configured: it names the archive when it
    // cannot be opened at all).
    void Start(const std::string& archiveFile);
    // OnExtracting: the file now being extracted.
    void FileStarted(const RARHeaderData& header);
    // OnVolumeChange: mode RAR_VOL_ASK when `volume` is asked for, RAR_VOL_NOTIFY when it is open.
    void Volume(const char* volume, int mode);
    // OnError: the component's code; its step and header record say what was being done.
    void Error(const TRAR& rar, int code);
    // The component's result: a False result without an error event still counts as a failure.
    void Finished(bool result);

    bool Failed() const { return !failure_.empty(); }
    // The first failure as a sentence; empty when the run succeeded.
    const std::string& Failure() const { return failure_; }

  private:
    std::string volumeText(int code) const;

    std::string archiveFile_;
    std::string failure_;
    std::string currentFile_; // the last file started
    std::string askedVolume_; // the volume asked for last, until it is opened
};
