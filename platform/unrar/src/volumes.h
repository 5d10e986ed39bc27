#pragma once
// Volume names and the few facts about a volume the reader needs before libarchive sees it.
#include <cstdint>
#include <string>
#include <string_view>

namespace unrar_detail {

// The name of the volume after `name`, found as the RAR archiver names volumes: "x.part01.rar" ->
// "x.part02.rar" (the number keeps its width and grows when it overflows: part9 -> part10), and in the
// old style "x.rar" -> "x.r00" -> "x.r01" ... "x.r99" -> "x.s00". Letter case is kept.
std::string nextVolumeName(std::string_view name);

enum class Format { unknown, rar4, rar5 };

// What a volume says about itself, read from its first and last bytes.
struct VolumeFacts {
    Format format = Format::unknown;
    bool isVolume = false;         // part of a multi-volume set
    bool encryptedHeaders = false; // headers need a password to be read at all
    bool endBlockFound = false;
    int64_t endBlockEnd = 0;    // offset just past the end block (zero padding may follow)
    bool moreVolumes = false;   // the end block says that another volume follows
    bool lastFileSplit = false; // without an end block: the volume's last file goes on in the next
    // Whether the reader may go on to the next volume when this one is exhausted.
    bool hasNext() const { return endBlockFound ? moreVolumes : isVolume && lastFileSplit; }
};

VolumeFacts readVolumeFacts(int fd);

uint32_t crc32(uint32_t crc, const void* data, size_t size);

// Reads a RAR 5 variable-length integer at p (at most end); returns the bytes used, 0 when malformed.
size_t readVint(const unsigned char* p, const unsigned char* end, uint64_t& value);

} // namespace unrar_detail
