#pragma once
// The checksum of a file's unpacked data as its header gives it: CRC-32, or BLAKE2sp where a RAR 5
// header stores one (for a split file, the header of its last part holds the checksum of the whole).
#include "format.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace unrar_detail {

class DataChecksum {
  public:
    // Computes what `first` (the header of the first part) says will be there to compare with.
    explicit DataChecksum(const FileHeader& first);
    ~DataChecksum();
    DataChecksum(const DataChecksum&) = delete;
    DataChecksum& operator=(const DataChecksum&) = delete;

    void update(const void* data, size_t size);
    // Whether the data matches every checksum that `last` stores and that was computed.
    bool matches(const FileHeader& last);

  private:
    bool crcOn_ = false;
    uint32_t crc_ = 0;
    struct Blake2;
    std::unique_ptr<Blake2> blake2_;
};

} // namespace unrar_detail
