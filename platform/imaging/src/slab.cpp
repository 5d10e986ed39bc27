// The pixel memory of the image buffers (see slab.h) and the mappings kept for reuse.
#include "slab.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tv32 {

namespace {
#if defined(__linux__)
constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Large slabs freed lately, kept mapped for the next buffers: a filter that renders one picture
// after another allocates the same few large sizes each time, and memory fresh from the system
// costs a page fault and the zeroing of every page on first touch (far more than a copy). At most
// kKeptCount mappings and kKeptBytes in all are kept; the oldest go first.
constexpr std::size_t kKeptCount = 8;
constexpr std::size_t kKeptBytes = std::size_t(256) << 20;

struct KeptMapping {
    uint8_t* data;
    std::size_t length;
};

struct KeptMappings {
    std::mutex mutex;
    KeptMapping items[kKeptCount];
    std::size_t count = 0, bytes = 0;

    // The smallest kept mapping of at least length bytes and not much longer, removed from the
    // list; null when there is none.
    uint8_t* take(std::size_t length, std::size_t& got) {
        std::lock_guard lock(mutex);
        std::size_t best = count;
        for (std::size_t i = 0; i < count; ++i)
            if (items[i].length >= length && items[i].length - length <= length / 4 &&
                (best == count || items[i].length < items[best].length))
                best = i;
        if (best == count) return nullptr;
        uint8_t* data = items[best].data;
        got = items[best].length;
        bytes -= got;
        for (std::size_t i = best + 1; i < count; ++i)
            items[i - 1] = items[i];
        --count;
        return data;
    }
    // Keeps a mapping, unmapping the oldest ones it displaces (or itself when it is too long).
    void keep(uint8_t* data, std::size_t length) {
        std::unique_lock lock(mutex);
        if (length > kKeptBytes) {
            lock.unlock();
            munmap(data, length);
            return;
        }
        while (count == kKeptCount || bytes + length > kKeptBytes) {
            munmap(items[0].data, items[0].length);
            bytes -= items[0].length;
            for (std::size_t i = 1; i < count; ++i)
                items[i - 1] = items[i];
            --count;
        }
        items[count++] = {data, length};
        bytes += length;
    }
    // Unmaps everything kept (when the system has no fresh memory left to give).
    bool drain() {
        std::lock_guard lock(mutex);
        const bool any = count > 0;
        for (std::size_t i = 0; i < count; ++i)
            munmap(items[i].data, items[i].length);
        count = bytes = 0;
        return any;
    }
};

KeptMappings& kept() {
    static KeptMappings* k = new KeptMappings; // like the table, lives as long as the process
    return *k;
}

// A fresh mapping of length bytes (a whole number of huge pages) aligned to the huge-page size,
// so that every part of it can be backed by huge pages; its pages start as zero.
uint8_t* mapFresh(std::size_t length) {
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto* base = static_cast<uint8_t*>(raw);
    const std::size_t lead = (kHugePage - reinterpret_cast<std::uintptr_t>(base) % kHugePage) % kHugePage;
    if (lead) munmap(base, lead);
    munmap(base + lead + length, kHugePage - lead);
#ifdef MADV_HUGEPAGE
    madvise(base + lead, length, MADV_HUGEPAGE); // advice only: without it the mapping still works
#endif
    return base + lead;
}
#endif
} // namespace

bool Slab::allocate(std::size_t bytes, bool zeroed) {
    release();
    if (bytes == 0) bytes = 1;
#if defined(__linux__)
    if (bytes >= kHugePage) {
        const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (length < bytes || length > SIZE_MAX - kHugePage) return false;
        std::size_t got = 0;
        if (uint8_t* reused = kept().take(length, got)) {
            if (zeroed) std::memset(reused, 0, bytes);
            data_ = reused;
            mapped_ = got;
        } else {
            uint8_t* fresh = mapFresh(length);
            if (!fresh && kept().drain()) fresh = mapFresh(length);
            if (!fresh) return false;
            data_ = fresh;
            mapped_ = length;
        }
        size_ = bytes;
        return true;
    }
#endif
    data_ = static_cast<uint8_t*>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
    if (!data_) return false;
    size_ = bytes;
    mapped_ = 0;
    return true;
}

void Slab::release() {
    if (!data_) return;
#if defined(__linux__)
    if (mapped_) {
        kept().keep(data_, mapped_);
        data_ = nullptr;
        size_ = mapped_ = 0;
        return;
    }
#endif
    std::free(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace tv32
