#include "setup/extractreport.h"

#include "setup/rarerrors.h"

void TExtractReport::Start(const std::string& archiveFile) {
    archiveFile_ = archiveFile;
    failure_.clear();
    currentFile_.clear();
    askedVolume_.clear();
}

void TExtractReport::FileStarted(const RARHeaderData& header) {
    currentFile_ = header.FileName;
}

void TExtractReport::Volume(const char* volume, int mode) {
    if (mode == RAR_VOL_ASK)
        askedVolume_ = volume ? volume : "";
    else
        askedVolume_.clear();
}

// A volume that could not be had: missing, or there but not a volume of this archive.
std::string TExtractReport::volumeText(int code) const {
    if (code == ERAR_EOPEN)
        return askedVolume_.empty() ? "The next archive volume is missing"
                                    : "The archive volume " + askedVolume_ + " is missing";
    return "The archive volume " + askedVolume_ + " is damaged or belongs to another archive";
}

void TExtractReport::Error(const TRAR& rar, int code) {
    if (!failure_.empty()) return; // the first failure is the one to tell
    const RARHeaderData& h = rar.Header();
    const std::string volume = fmtNome(h.ArcName);
    switch (rar.Step()) {
    case TRAR::TStep::Idle:
    case TRAR::TStep::Opening:
        failure_ =
            code == ERAR_EOPEN ? "Can`t load file " + archiveFile_ : RarErrorText(code) + ": " + archiveFile_;
        return;
    case TRAR::TStep::ReadingHeader:
        if (code == ERAR_EOPEN || (code == ERAR_BAD_ARCHIVE && !askedVolume_.empty())) {
            failure_ = volumeText(code);
        } else if (code == ERAR_BAD_DATA) {
            // The file whose header broke or whose data is cut off, by the name its header still
            // shows; else where the archive stopped.
            if (h.FileName[0])
                failure_ =
                    "The archive is damaged or incomplete at " + std::string(h.FileName) + " in " + volume;
            else
                failure_ = "The archive is damaged or ends early in " + volume +
                           (currentFile_.empty() ? std::string() : ", after " + currentFile_);
        } else {
            failure_ = RarErrorText(code) + " in " + volume;
        }
        return;
    case TRAR::TStep::ProcessingFile:
        if (code == ERAR_EOPEN || (code == ERAR_BAD_ARCHIVE && !askedVolume_.empty()))
            failure_ = volumeText(code) + " (while extracting " + std::string(h.FileName) + ")";
        else
            failure_ = RarErrorText(code) + ": " + std::string(h.FileName);
        return;
    }
}

void TExtractReport::Finished(bool result) {
    if (!result && failure_.empty()) failure_ = "The archive could not be extracted completely";
}
