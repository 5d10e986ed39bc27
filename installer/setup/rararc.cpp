#include "rararc.h"

#include "setup/unrarlibrary.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

int compareNoCase(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TRAR* runningComponent = nullptr;

// Makes a component the running one for the length of an operation.
class RunningScope {
  public:
    explicit RunningScope(TRAR* rar) : previous_(runningComponent) { runningComponent = rar; }
    ~RunningScope() { runningComponent = previous_; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

  private:
    TRAR* previous_;
};

// Closes the library's archive on every way out of an operation.
struct ArchiveHandle {
    HANDLE h = nullptr;
    ~ArchiveHandle() {
        if (h) unrar().closeArchive(h);
    }
};

} // namespace

TSortedStrings::TSortedStrings(std::initializer_list<std::string> names) {
    for (const auto& n : names)
        Add(n);
}

void TSortedStrings::Add(std::string name) {
    auto it =
        std::lower_bound(items_.begin(), items_.end(), name,
                         [](const std::string& a, const std::string& b) { return compareNoCase(a, b) < 0; });
    items_.insert(it, std::move(name));
}

bool TSortedStrings::Contains(std::string_view name) const {
    auto it =
        std::lower_bound(items_.begin(), items_.end(), name,
                         [](const std::string& a, std::string_view b) { return compareNoCase(a, b) < 0; });
    return it != items_.end() && compareNoCase(*it, name) == 0;
}

void TRAR::SetFilesToExtract(const std::vector<std::string>& names) {
    FilesToExtract.Clear();
    for (const auto& n : names)
        FilesToExtract.Add(n);
}

void TRAR::SetFilesToTest(const std::vector<std::string>& names) {
    FilesToTest.Clear();
    for (const auto& n : names)
        FilesToTest.Add(n);
}

TRAR* TRAR::Running() {
    return runningComponent;
}

// The library's callbacks carry no context: they reach the component through the running reference.
// A handler's exception is held here and raised again once the library call has returned, so it never
// passes through the library.
int PASCAL TRAR::changeVolumeCallback(char* arcName, int mode) {
    TRAR* rar = runningComponent;
    if (!rar || !rar->OnVolumeChange || rar->pending_) return 0;
    try {
        return rar->OnVolumeChange(*rar, arcName, mode);
    } catch (...) {
        rar->pending_ = std::current_exception();
        return 0;
    }
}

int PASCAL TRAR::processDataCallback(unsigned char* addr, int size) {
    TRAR* rar = runningComponent;
    if (!rar || !rar->OnProcessData || rar->pending_) return 0;
    rar->unpacked_ += size;
    try {
        return rar->OnProcessData(*rar, addr, size, rar->unpacked_);
    } catch (...) {
        rar->pending_ = std::current_exception();
        return 0;
    }
}

void TRAR::rethrowPending() {
    if (pending_) {
        std::exception_ptr e = pending_;
        pending_ = nullptr;
        std::rethrow_exception(e);
    }
}

bool TRAR::Extract() {
    bool result = true;
    header_ = RARHeaderData{};
    if (ArchiveName.empty()) {
        if (OnError) OnError(*this, ERAR_BAD_ARCHIVE);
        return false;
    }
    // Without the archive library nothing can be read: the reason goes to standard error, the
    // run fails as the library's unknown error.
    if (const std::string& problem = unrar().problem; !problem.empty()) {
        std::fprintf(stderr, "install: %s\n", problem.c_str());
        if (OnError) OnError(*this, ERAR_UNKNOWN);
        return false;
    }
    RunningScope running(this);
    pending_ = nullptr;
    struct StepReset {
        TRAR& rar;
        ~StepReset() {
            rar.step_ = TStep::Idle;
            rar.header_.CmtBuf = nullptr; // the comment buffer lives only as long as the operation
            rar.header_.CmtBufSize = 0;
        }
    } stepReset{*this};

    auto comment = std::make_unique<TComment>();
    std::string arcName = ArchiveName;
    RAROpenArchiveData open{};
    open.ArcName = arcName.data();
    open.OpenMode = RAR_OM_EXTRACT;
    open.CmtBuf = comment->Text;
    open.CmtBufSize = sizeof comment->Text - 1;
    step_ = TStep::Opening;
    ArchiveHandle archive;
    archive.h = unrar().openArchive(&open);
    comment->Size = static_cast<int32_t>(open.CmtSize);

    std::string target = TargetDir;
    char* dest = target.empty() ? nullptr : target.data();

    if (open.OpenResult != ERAR_SUCCESS) {
        if (archive.h) {
            unrar().closeArchive(archive.h);
            archive.h = nullptr;
        }
        if (OnError) OnError(*this, static_cast<int32_t>(open.OpenResult));
        return false;
    }
    if (open.CmtState == 1 && OnComment) OnComment(*this, *comment);

    if (OnVolumeChange) unrar().setChangeVolProc(archive.h, &TRAR::changeVolumeCallback);
    header_.CmtBuf = comment->Text;
    header_.CmtBufSize = sizeof comment->Text - 1;
    if (OnProcessData) unrar().setProcessDataProc(archive.h, &TRAR::processDataCallback);

    std::string password;
    for (;;) {
        step_ = TStep::ReadingHeader;
        const int r = unrar().readHeader(archive.h, &header_);
        rethrowPending();
        if (r == ERAR_END_ARCHIVE) return result;
        if (r != ERAR_SUCCESS) {
            // Anything but the end of the archive means the archive could not be read to its end.
            if (OnError) OnError(*this, r);
            return false;
        }
        const std::string name(header_.FileName, strnlen(header_.FileName, sizeof header_.FileName));
        unsigned long long size = header_.UnpSize;
        unrar().getFileSize64(archive.h, &size, nullptr);
        currentSize_ = static_cast<int64_t>(size);

        if (Stop) {
            Stop = false;
            return result;
        }
        step_ = TStep::ProcessingFile;
        if (!FilesToExtract.Empty() && !FilesToExtract.Contains(name)) {
            const int c = unrar().processFile(archive.h, RAR_SKIP, dest, nullptr);
            rethrowPending();
            if (c != ERAR_SUCCESS) {
                if (OnError) OnError(*this, c);
                return false;
            }
            continue;
        }
        if (OnExtracting) OnExtracting(*this, header_);
        unpacked_ = 0;
        if ((header_.Flags & RHDF_ENCRYPTED) && OnReqPassword) {
            OnReqPassword(*this, header_, password);
            if (!password.empty()) unrar().setPassword(archive.h, password.data());
        }
        const int c = unrar().processFile(archive.h, RAR_EXTRACT, dest, nullptr);
        rethrowPending();
        if (OnExtract) OnExtract(*this, header_, c == ERAR_SUCCESS);
        if (c != ERAR_SUCCESS) {
            result = false;
            if (OnError) OnError(*this, c);
            if (c != ERAR_ECREATE && c != ERAR_BAD_DATA) return false;
        }
    }
}
