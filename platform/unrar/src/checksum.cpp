#include "checksum.h"

#include "crc.h"

#include <blake2.h>

#include <cstring>

namespace unrar_detail {

struct DataChecksum::Blake2 {
    blake2sp_state state;
};

DataChecksum::DataChecksum(const FileHeader& first) {
    // The parts of a split file carry checksums of their own, so the whole file's CRC is always
    // computed for them; BLAKE2sp only where the archive uses it.
    crcOn_ = first.hasCrc || first.splitAfter;
    if (first.hasBlake2) {
        blake2_ = std::make_unique<Blake2>();
        blake2sp_init(&blake2_->state, 32);
    }
}

DataChecksum::~DataChecksum() = default;

void DataChecksum::update(const void* data, size_t size) {
    if (crcOn_) crc_ = dataCrc32(crc_, data, size);
    if (blake2_) blake2sp_update(&blake2_->state, static_cast<const uint8_t*>(data), size);
}

bool DataChecksum::matches(const FileHeader& last) {
    bool checked = false;
    if (last.hasCrc && crcOn_) {
        if (crc_ != last.crc) return false;
        checked = true;
    }
    if (last.hasBlake2 && blake2_) {
        unsigned char digest[32];
        blake2sp_final(&blake2_->state, digest, sizeof digest);
        blake2_.reset();
        if (std::memcmp(digest, last.blake2.data(), sizeof digest) != 0) return false;
        checked = true;
    }
    // A file whose last part stores a checksum we did not compute cannot be confirmed.
    return checked || (!last.hasCrc && !last.hasBlake2);
}

} // namespace unrar_detail
