#pragma once
// The volumes of a set: their names, and what each says about itself before its blocks are read.
#include "fd.h"
#include "format.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace unrar_detail {

// The name of the volume after `name`, found as the RAR archiver names volumes: "x.part01.rar" ->
// "x.part02.rar" (the number keeps its width and grows when it overflows: part9 -> part10), and in the
// old style "x.rar" -> "x.r00" -> "x.r01" ... "x.r99" -> "x.s00". Letter case is kept.
std::string nextVolumeName(std::string_view name);

struct Volume {
    std::string path;
    UniqueFd fd;
    uint64_t size = 0;
    int64_t start = 0; // offset of its first byte in the joined stream of the set
    Format format = Format::unknown;
    MainFacts main;
    TailFacts tail;

    VolumeBytes bytes() const { return VolumeBytes(fd.get(), size); }
};

enum class VolumeStatus { ok, missing, notRar, damaged, readError };

// Opens a volume (only a regular file: never a FIFO or a device, which could block or never end)
// and reads its signature, main header and end block.
VolumeStatus openVolume(const std::string& path, Volume& out);

// Whether `v` can be volume number `index` of the set that `first` starts.
bool belongsToSet(const Volume& first, const Volume& v, size_t index);

// The block at `offset` of a volume, read by the reader of its format.
BlockResult readBlock(const Volume& v, uint64_t offset);

} // namespace unrar_detail
