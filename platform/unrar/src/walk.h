#pragma once
// Our own walk over the blocks of a set, one file at a time, beside libarchive's. libarchive unpacks;
// the walk checks every header CRC, follows split files from part to part and knows where the archive
// really ends, so the reader can tell "the archive ended" from "the data ended" and name what broke.
#include "format.h"
#include "volumes.h"

#include <string>

namespace unrar_detail {

class BlockWalk {
  public:
    // `volumes` is the set as opened so far; it may grow while the walk goes on.
    explicit BlockWalk(VolumeSet& volumes) : volumes_(volumes) {}

    enum class Step {
        file,      // the first part of the next file
        end,       // the end of the archive: the last volume's end block
        damaged,   // a header fails its CRC or makes no sense, or parts of a split file do not fit
        truncated, // the data ends before the end of the archive
        readError,
        notOpen, // the walk needs a volume that has not been opened
    };
    struct Outcome {
        Step step = Step::end;
        Block block;       // step == file
        size_t volume = 0; // the volume holding the block, or where the walk stopped
        std::string name;  // the file concerned, when known (damaged or cut file headers)
    };

    // Walks on to the next file header, over service blocks, the further parts of split files and
    // the ends of volumes that say another follows.
    Outcome nextFile();

    // The header of the last part of the file whose first part is `first` (in volume `volume`): the
    // one with the checksum of the whole file. False when the parts do not follow one another.
    bool lastPart(const Block& first, size_t volume, Block& last);

  private:
    VolumeSet& volumes_;
    size_t volume_ = 0;
    uint64_t offset_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::string pendingSplit_; // the file whose next part the next volume must start with
    bool pending_ = false;
};

} // namespace unrar_detail
