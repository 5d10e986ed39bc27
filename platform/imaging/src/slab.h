// The pixel memory of the image buffers: one piece per buffer, large pieces straight from the
// system and kept for a while after they are freed.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tv32 {

// The pixel memory of one buffer, in one piece. Large pieces come straight from the system as
// anonymous mappings advised for huge pages (fresh pages are already zero, and a 2 MiB page
// costs one fault where 4 KiB pages cost 512); small ones from the heap.
class Slab {
  public:
    Slab() = default;
    ~Slab() { release(); }
    Slab(const Slab&) = delete;
    Slab& operator=(const Slab&) = delete;
    // bytes of memory, all zero when zeroed; false when it cannot be had.
    bool allocate(std::size_t bytes, bool zeroed);
    uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

  private:
    void release();
    uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0; // length of the mapping, 0 for heap memory
};

} // namespace tv32
