#include "walk.h"

namespace unrar_detail {

namespace {

BlockWalk::Step stepOf(BlockStatus s) {
    switch (s) {
    case BlockStatus::endOfVolume:
    case BlockStatus::truncated:
        return BlockWalk::Step::truncated;
    case BlockStatus::readError:
        return BlockWalk::Step::readError;
    default:
        return BlockWalk::Step::damaged;
    }
}

} // namespace

BlockWalk::Outcome BlockWalk::nextFile() {
    Outcome out;
    if (finished_) return out;
    for (;;) {
        out.volume = volume_;
        if (volume_ >= volumes_.size()) {
            out.step = Step::notOpen;
            return out;
        }
        if (!started_) {
            offset_ = volumes_[volume_].main.blocksStart;
            started_ = true;
        }
        BlockResult r = volumes_.readBlock(volume_, offset_);
        if (r.status != BlockStatus::ok) {
            out.step = stepOf(r.status);
            out.name = !r.damagedName.empty() ? r.damagedName : (pending_ ? pendingSplit_ : std::string());
            return out;
        }
        Block& b = r.block;
        offset_ = b.dataEnd;
        switch (b.kind) {
        case BlockKind::file:
            if (b.file.splitBefore) {
                // A further part: it must continue the file that the previous volume left open.
                if (!pending_ || b.file.name != pendingSplit_) {
                    out.step = Step::damaged;
                    out.name = b.file.name;
                    return out;
                }
                pending_ = b.file.splitAfter;
                continue;
            }
            if (pending_) { // the rest of a split file is missing
                out.step = Step::damaged;
                out.name = pendingSplit_;
                return out;
            }
            pending_ = b.file.splitAfter;
            pendingSplit_ = b.file.name;
            out.step = Step::file;
            out.block = std::move(b);
            return out;
        case BlockKind::end:
            if (b.moreVolumes) {
                ++volume_;
                started_ = false;
                continue;
            }
            if (pending_) {
                out.step = Step::truncated;
                out.name = pendingSplit_;
                return out;
            }
            finished_ = true;
            out.step = Step::end;
            return out;
        default:
            // Service data, comments, recovery records: nothing to extract.
            continue;
        }
    }
}

bool BlockWalk::lastPart(const Block& first, size_t volume, Block& last) {
    last = first;
    while (last.file.splitAfter) {
        ++volume;
        if (volume >= volumes_.size()) return false;
        // The next part is the first file block of the next volume.
        uint64_t offset = volumes_[volume].main.blocksStart;
        for (;;) {
            BlockResult r = volumes_.readBlock(volume, offset);
            if (r.status != BlockStatus::ok) return false;
            offset = r.block.dataEnd;
            if (r.block.kind == BlockKind::end) return false;
            if (r.block.kind != BlockKind::file) continue;
            if (!r.block.file.splitBefore || r.block.file.name != first.file.name) return false;
            last = std::move(r.block);
            break;
        }
    }
    return true;
}

} // namespace unrar_detail
