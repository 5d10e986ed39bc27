#pragma once
// The volumes of a set read as one stream, as libarchive's read and skip callbacks: when a volume is
// exhausted and its end block says another follows, the next volume is opened (asked for through the
// volume callback while it is missing or not a volume of this set). Volumes are opened only when
// their bytes are needed, so the reader always knows which volume holds what it reads; each is read
// by offset up to the size it had when opened, so it may be closed and opened again in between.
#include "unrar/unrar.h"
#include "volumes.h"

#include <archive.h>

#include <cstdint>
#include <memory>
#include <string>

namespace unrar_detail {

class VolumeStream {
  public:
    VolumeStream();

    // ERAR_SUCCESS, or why the first volume cannot be read.
    int openFirst(const std::string& path);

    VolumeSet& volumes() { return volumes_; }
    const VolumeSet& volumes() const { return volumes_; }
    const Volume& current() const { return volumes_[current_]; }
    // Stream offset of the next byte the stream hands out.
    int64_t position() const { return current().start + static_cast<int64_t>(readInVolume_); }

    // After an end block that says another volume follows, standing right behind it: what is left of
    // the volume is padding, and the stream goes on with the next volume.
    bool skipRestOfVolume();

    void setVolumeProc(CHANGEVOLPROC proc) { volumes_.setVolumeProc(proc); }
    // A code set when the stream could not go on (a volume given up, a read error, a callback that
    // raised an exception); 0 while all is well.
    int fatal() const { return volumes_.fatal(); }

    static la_ssize_t readCallback(struct archive* a, void* self, const void** out);
    static la_int64_t skipCallback(struct archive* a, void* self, la_int64_t request);

  private:
    la_ssize_t read(struct archive* a, const void** out);

    VolumeSet volumes_;
    size_t current_ = 0;
    uint64_t readInVolume_ = 0;
    std::unique_ptr<char[]> buffer_;
    bool paddedEnd_ = false;
};

} // namespace unrar_detail
