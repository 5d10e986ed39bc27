// The UnRAR archive interface on libarchive: the C entry points. Handles are numbers in a registry of
// live archives, never pointers, so a stale or doubled handle fails with a code instead of touching
// freed memory; and no C++ exception ever leaves an entry point.
#include "unrar/unrar.h"

#include "reader.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

using unrar_detail::Archive;

namespace {

class Registry {
  public:
    HANDLE add(std::shared_ptr<Archive> a) {
        std::lock_guard<std::mutex> lock(mutex_);
        const uintptr_t id = ++last_; // never reused, so an old handle never names a new archive
        live_.emplace(id, std::move(a));
        return reinterpret_cast<HANDLE>(id);
    }
    // The archive (kept alive for as long as the caller holds it), or nullptr for a handle that is
    // not live.
    std::shared_ptr<Archive> find(HANDLE h) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = live_.find(reinterpret_cast<uintptr_t>(h));
        return it == live_.end() ? nullptr : it->second;
    }
    std::shared_ptr<Archive> remove(HANDLE h) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = live_.find(reinterpret_cast<uintptr_t>(h));
        if (it == live_.end()) return nullptr;
        std::shared_ptr<Archive> a = std::move(it->second);
        live_.erase(it);
        return a;
    }

  private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, std::shared_ptr<Archive>> live_;
    uintptr_t last_ = 0;
};

Registry& registry() {
    static Registry* r = new Registry; // lives until the process ends, for calls from exit handlers
    return *r;
}

// Runs one call on a live, idle archive; anything thrown becomes a code.
template <class F> int onArchive(HANDLE h, int notLive, F&& f) noexcept {
    try {
        std::shared_ptr<Archive> a = registry().find(h);
        if (!a) return notLive;
        if (a->busy) return ERAR_UNKNOWN; // called again from inside one of its own callbacks
        a->busy = true;
        struct Idle {
            Archive& a;
            ~Idle() { a.busy = false; }
        } idle{*a};
        return f(*a);
    } catch (const std::bad_alloc&) {
        return ERAR_NO_MEMORY;
    } catch (...) {
        return ERAR_UNKNOWN;
    }
}

// Changes a setting of a live archive (also from inside its callbacks).
template <class F> void setOn(HANDLE h, F&& f) noexcept {
    try {
        if (std::shared_ptr<Archive> a = registry().find(h)) f(*a);
    } catch (...) {
    }
}

} // namespace

extern "C" {

HANDLE PASCAL RAROpenArchive(struct RAROpenArchiveData* data) {
    if (!data) return nullptr;
    data->CmtSize = 0;
    data->CmtState = 0;
    if (!data->ArcName || !*data->ArcName) {
        data->OpenResult = ERAR_EOPEN;
        return nullptr;
    }
    try {
        auto a = std::make_shared<Archive>();
        // Further volumes are named after the first, as full paths (the volume callback shows them).
        std::error_code ec;
        std::string first = std::filesystem::absolute(data->ArcName, ec).string();
        if (ec) first = data->ArcName;
        if (const int r = a->open(first); r != ERAR_SUCCESS) {
            data->OpenResult = static_cast<unsigned>(r);
            return nullptr;
        }
        data->OpenResult = ERAR_SUCCESS;
        return registry().add(std::move(a));
    } catch (const std::bad_alloc&) {
        data->OpenResult = ERAR_NO_MEMORY;
    } catch (...) {
        data->OpenResult = ERAR_UNKNOWN;
    }
    return nullptr;
}

int PASCAL RARCloseArchive(HANDLE h) {
    try {
        // When closed from inside one of its own callbacks, the archive goes when that call returns.
        return registry().remove(h) ? ERAR_SUCCESS : ERAR_ECLOSE;
    } catch (...) {
        return ERAR_ECLOSE;
    }
}

int PASCAL RARReadHeader(HANDLE h, struct RARHeaderData* hd) {
    if (!hd) return ERAR_BAD_ARCHIVE;
    return onArchive(h, ERAR_BAD_ARCHIVE, [hd](Archive& a) { return a.readHeader(*hd); });
}

int PASCAL RARProcessFile(HANDLE h, int operation, char* destPath, char* destName) {
    return onArchive(h, ERAR_BAD_ARCHIVE,
                     [&](Archive& a) { return a.processFile(operation, destPath, destName); });
}

void PASCAL RARSetChangeVolProc(HANDLE h, CHANGEVOLPROC proc) {
    setOn(h, [proc](Archive& a) { a.setVolumeProc(proc); });
}

void PASCAL RARSetProcessDataProc(HANDLE h, PROCESSDATAPROC proc) {
    setOn(h, [proc](Archive& a) { a.setDataProc(proc); });
}

void PASCAL RARSetPassword(HANDLE h, char* password) {
    setOn(h, [password](Archive& a) { a.setPassword(password); });
}

int PASCAL RARGetDllVersion(void) {
    return 8;
}

int PASCAL RARGetFileSize64(HANDLE h, unsigned long long* unpSize, unsigned long long* packSize) {
    try {
        std::shared_ptr<Archive> a = registry().find(h);
        return a ? a->fileSize64(unpSize, packSize) : ERAR_BAD_ARCHIVE;
    } catch (...) {
        return ERAR_UNKNOWN;
    }
}

} // extern "C"
