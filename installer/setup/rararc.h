#pragma once
// TRAR: a RAR archive behind properties and events. It opens an archive (the first volume of a set),
// walks its file headers in order, extracts the files its name filter chooses into a target folder and
// reports every step through events. Plain C++, no user interface, so an unattended mode can use it
// as well as the extraction dialog.
#include "unrar/unrar.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A list of names kept sorted without regard to letter case, looked up by binary search.
class TSortedStrings {
  public:
    TSortedStrings() = default;
    TSortedStrings(std::initializer_list<std::string> names);

    void Add(std::string name);
    void Clear() { items_.clear(); }
    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    // Whether `name` is in the list, letter case ignored (ASCII), the whole text compared.
    bool Contains(std::string_view name) const;
    const std::string& operator[](int i) const { return items_[static_cast<size_t>(i)]; }
    const std::vector<std::string>& Items() const { return items_; }

  private:
    std::vector<std::string> items_;
};

// The archive comment as OnComment receives it: the size the library reported and the text.
struct TComment {
    int32_t Size = 0;
    char Text[65536] = {};
};

class TRAR {
  public:
    // Handlers get the component first. Record parameters are the component's own header record.
    // Position is the number of bytes of the current file unpacked so far, this block included (64-bit,
    // so files of 2 GiB and more count correctly).
    using TProcessDataProcN =
        std::function<int32_t(TRAR& Sender, unsigned char* Addr, int32_t BlockSize, int64_t Position)>;
    using TChangeVolProcN = std::function<int32_t(TRAR& Sender, const char* ArcName, int32_t Mode)>;
    using TErrorProc = std::function<void(TRAR& Sender, int32_t Error)>;
    using TCommentProc = std::function<void(TRAR& Sender, const TComment& Comment)>;
    using TListFileProc = std::function<void(TRAR& Sender, RARHeaderData& ListedFile)>;
    using TFileBeingExtracted = std::function<void(TRAR& Sender, RARHeaderData& eFile)>;
    using TFileExtracted = std::function<void(TRAR& Sender, RARHeaderData& eFile, bool Result)>;
    using TFileBeingTested = std::function<void(TRAR& Sender, RARHeaderData& eFile)>;
    using TFileTested = std::function<void(TRAR& Sender, RARHeaderData& eFile, bool Result)>;
    using TReqPassword = std::function<void(TRAR& Sender, RARHeaderData& eFile, std::string& Password)>;

    TRAR() = default;
    TRAR(const TRAR&) = delete;
    TRAR& operator=(const TRAR&) = delete;

    // Properties.
    std::string ArchiveName;       // the archive, or the first volume of a set
    TSortedStrings FilesToExtract; // stored paths to extract; empty: every file
    TSortedStrings FilesToTest;    // kept for a test operation; nothing reads it yet
    std::string TargetDir;         // empty: the process's current directory
    bool Stop = false;             // ends the running operation at its next header

    void SetFilesToExtract(const std::vector<std::string>& names);
    void SetFilesToTest(const std::vector<std::string>& names);

    // Events.
    TProcessDataProcN OnProcessData;
    TChangeVolProcN OnVolumeChange;
    TErrorProc OnError;
    TCommentProc OnComment;
    TListFileProc OnListFile;
    TFileBeingExtracted OnExtracting;
    TFileExtracted OnExtract;
    TFileBeingTested OnTesting;
    TFileTested OnTested;
    TReqPassword OnReqPassword;

    // Extracts the archive's files (those in FilesToExtract, or all) into TargetDir. True only when the
    // archive was read to its end and every chosen file was extracted: a header that cannot be read
    // (a damaged header, a missing volume, an archive that ends early) ends the operation with an
    // error event and False, as a file that fails does. Library codes are reported through OnError,
    // never raised; an exception from a handler leaves Extract (the archive is closed first).
    bool Extract();

    // The unpacked size of the current file in full (the header record holds only 32 bits of it).
    int64_t CurrentFileSize() const { return currentSize_; }

    // What the running operation is doing, so an error handler can tell which step failed.
    enum class TStep { Idle, Opening, ReadingHeader, ProcessingFile };
    TStep Step() const { return step_; }
    // The component's header record: the current file's header, or after a failed header read what
    // the library could still say (the volume, and the name in a damaged header when readable).
    const RARHeaderData& Header() const { return header_; }

    // The component whose operation is running in this process, or nullptr.
    static TRAR* Running();

  private:
    static int PASCAL changeVolumeCallback(char* arcName, int mode);
    static int PASCAL processDataCallback(unsigned char* addr, int size);
    void rethrowPending();

    int64_t unpacked_ = 0;
    int64_t currentSize_ = 0;
    TStep step_ = TStep::Idle;
    RARHeaderData header_{};
    std::exception_ptr pending_;
};
