// Scope guards for the image library: every lock is undone and every temporary buffer freed on
// every path out of a function.
#pragma once
#include "imagelib/tv32base.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace borderfx {

// A buffer lock, undone when the guard ends.
class BufferLock {
  public:
    BufferLock(TV32HBUF buffer, int32_t mode) : buffer_(buffer), locked_(buf32Lock(buffer, mode, nullptr) != 0) {}
    ~BufferLock() {
        if (locked_) buf32Unlock(buffer_);
    }
    BufferLock(const BufferLock&) = delete;
    BufferLock& operator=(const BufferLock&) = delete;
    explicit operator bool() const { return locked_; }

  private:
    TV32HBUF buffer_;
    bool locked_;
};

// One locked cell of a locked buffer.
class CellLock {
  public:
    CellLock(TV32HBUF buffer, int32_t index) : buffer_(buffer), index_(index) {
        std::memset(&cell_, 0, sizeof cell_);
        locked_ = buf32CellLock(buffer, index, nullptr, &cell_) != 0;
    }
    ~CellLock() {
        if (locked_) buf32CellUnlock(buffer_, index_);
    }
    CellLock(const CellLock&) = delete;
    CellLock& operator=(const CellLock&) = delete;
    explicit operator bool() const { return locked_; }
    const BUF32CELL& cell() const { return cell_; }

  private:
    TV32HBUF buffer_;
    int32_t index_;
    BUF32CELL cell_;
    bool locked_;
};

// A buffer the current function made and frees unless it hands it on (release()).
class OwnedBuffer {
  public:
    OwnedBuffer() = default;
    ~OwnedBuffer() {
        if (handle_) buf32Free(handle_);
    }
    OwnedBuffer(const OwnedBuffer&) = delete;
    OwnedBuffer& operator=(const OwnedBuffer&) = delete;
    TV32HBUF* slot() { return &handle_; }
    TV32HBUF get() const { return handle_; }
    TV32HBUF release() {
        const TV32HBUF h = handle_;
        handle_ = 0;
        return h;
    }
    void reset() {
        if (handle_) buf32Free(handle_);
        handle_ = 0;
    }

  private:
    TV32HBUF handle_ = 0;
};

// Zeroed scratch memory; null when it cannot be had.
inline std::unique_ptr<uint8_t[]> makeScratch(std::size_t bytes) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes == 0 ? 1 : bytes]());
}

} // namespace borderfx
