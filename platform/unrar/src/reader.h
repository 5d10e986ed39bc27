#pragma once
// One open archive: libarchive unpacks from the volume stream, our walk checks every header beside
// it, and the disk writer puts the entries below the destination. The verdict on each header and
// each file comes from both: a header libarchive accepts must be the one our walk finds at that
// place, the archive has ended only when the walk reaches the last end block, and a file is good only
// when its size and checksum agree with its header.
#include "diskwriter.h"
#include "stream.h"
#include "unrar/unrar.h"
#include "walk.h"

#include <archive.h>
#include <archive_entry.h>

#include <string>

namespace unrar_detail {

class Archive {
  public:
    Archive() = default;
    // Closing gives the folders made their modes and times, once all their files are in.
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // ERAR_SUCCESS, or why the archive cannot be read.
    int open(const std::string& path);
    int readHeader(RARHeaderData& hd);
    int processFile(int operation, const char* destPath, const char* destName);
    int fileSize64(unsigned long long* unpSize, unsigned long long* packSize) const;

    void setVolumeProc(CHANGEVOLPROC p) { stream_.setVolumeProc(p); }
    void setDataProc(PROCESSDATAPROC p) { dataProc_ = p; }
    void setPassword(const char* p) { passwordSet_ = p && *p; }

    // Set while a call runs, so that a callback cannot re-enter the same archive.
    bool busy = false;

  private:
    int startReader();
    bool continuesAfterEnd();
    int failureCode(int fallback) const;
    int endOfHeaders(int code, const BlockWalk::Outcome& o, RARHeaderData& hd);
    int walkVerdict(const BlockWalk::Outcome& o) const;
    void fillRecord(RARHeaderData& hd, const FileHeader& f, size_t volume) const;
    int readData(int outFd);
    int readLinkTarget(std::string& target);
    EntryTimes entryTimes() const;

    VolumeStream stream_;
    BlockWalk walk_{stream_.volumes()};
    DiskWriter disk_;
    struct archive* a_ = nullptr;
    int64_t streamBase_ = 0; // where the current libarchive reader started in the stream
    struct archive_entry* entry_ = nullptr;
    bool headerRead_ = false;
    Block current_; // our header of the current file (its first part)
    size_t currentVolume_ = 0;
    int ended_ = 0; // the header walk's last word: ERAR_END_ARCHIVE or an error
    PROCESSDATAPROC dataProc_ = nullptr;
    bool passwordSet_ = false;
};

} // namespace unrar_detail
