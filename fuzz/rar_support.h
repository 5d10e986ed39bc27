// What the RAR fuzz targets share: a scratch folder per process (on a memory file system when there is
// one), writing the volumes of an input there, extracting through the archive interface, and the
// checks every extraction must pass whatever the input: nothing outside the destination, no link
// that leads out of it, no file left half written.
#pragma once
#include "unrar/unrar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace rarfuzz {

namespace fs = std::filesystem;

// Stops the fuzzer with a message: a broken check is a finding.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

// The process's scratch folder, emptied on request. Everything a target makes lies below it.
inline const fs::path& scratch() {
    static const fs::path dir = [] {
        fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
        fs::path d = base / ("kit-rarfuzz-" + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

inline void empty(const fs::path& dir) {
    std::error_code ec;
    fs::remove_all(dir, ec); // never follows links
    fs::create_directories(dir, ec);
}

inline void writeBytes(const fs::path& p, std::string_view bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Outcome {
    int openResult = 0;
    int end = 0;            // the code that ended the header loop
    bool allFilesOk = true; // every RARProcessFile gave ERAR_SUCCESS
    int files = 0;
    bool success() const { return openResult == ERAR_SUCCESS && end == ERAR_END_ARCHIVE && allFilesOk; }
};

// Opens `first`, reads every header and tests or extracts it into `dest` (operations alternate when
// `mixed`), with the given volume callback. At most `maxHeaders` headers, so a reader that would
// never end shows as a timeout of the fuzzer rather than of this loop.
inline Outcome extract(const fs::path& first, const fs::path& dest, CHANGEVOLPROC volumeProc, bool mixed) {
    Outcome o;
    std::string name = first.string(), target = dest.string();
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    od.OpenMode = RAR_OM_EXTRACT;
    HANDLE h = RAROpenArchive(&od);
    o.openResult = static_cast<int>(od.OpenResult);
    if (!h) {
        if (o.openResult == ERAR_SUCCESS) fail("no handle but no open error");
        return o;
    }
    RARSetChangeVolProc(h, volumeProc);
    RARHeaderData hd{};
    for (int n = 0; (o.end = RARReadHeader(h, &hd)) == ERAR_SUCCESS; ++n) {
        if (hd.FileName[sizeof hd.FileName - 1] != 0 || hd.ArcName[sizeof hd.ArcName - 1] != 0)
            fail("a name in the header record is not ended");
        const int op = mixed && (n % 3 == 1) ? RAR_TEST : RAR_EXTRACT;
        const int r = RARProcessFile(h, op, target.data(), nullptr);
        o.allFilesOk = o.allFilesOk && r == ERAR_SUCCESS;
        ++o.files;
    }
    // The loop ended: every later call says the same, and closing works once.
    if (RARReadHeader(h, &hd) != o.end) fail("a header read after the end said something else");
    if (RARCloseArchive(h) != ERAR_SUCCESS) fail("closing failed");
    if (RARCloseArchive(h) != ERAR_ECLOSE) fail("a second close did not fail");
    return o;
}

// Every entry below `root` is inside it: links resolve inside (the existing part of their path as
// the system resolves it, the rest as written), and no temporary part file is left.
inline void checkTree(const fs::path& root) {
    std::error_code ec;
    const fs::path top = fs::canonical(root, ec);
    if (ec) fail("the destination is gone");
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const fs::path p = it->path();
        if (p.filename().string().find(".part-") != std::string::npos)
            fail("a part file was left: " + p.string());
        if (!it->is_symlink(ec)) continue;
        std::error_code rec;
        const fs::path resolved = fs::weakly_canonical(p, rec);
        if (rec) continue; // a loop leads nowhere
        const fs::path rel = resolved.lexically_relative(top);
        if (rel.empty() || *rel.begin() == "..")
            fail("link " + p.string() + " -> " + fs::read_symlink(p, rec).string() + " resolves outside");
    }
}

// What lies below `dir` (names, not following links), to see that nothing changed there.
inline std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator();
         it.increment(ec))
        names.push_back(it->path().lexically_relative(dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

// The volume callback of a run nobody attends: a missing volume is given up.
inline int PASCAL giveUp(char*, int mode) {
    return mode == RAR_VOL_NOTIFY ? 1 : 0;
}

// A folder for one run below the scratch folder: an empty destination `dest`, and beside it
// `beside/canary`, a file of the host's that hostile entries aim at.
class Sandbox {
  public:
    explicit Sandbox(const std::string& name) : dir(scratch() / name) {
        empty(dir);
        fs::create_directories(dir / "beside");
        writeBytes(dir / "beside/canary", kCanary);
        fs::create_directories(dest());
        before_ = listing(dir);
    }
    fs::path dest() const { return dir / "dest"; }
    // After a run: every path below the destination inside it, and nothing beside it changed but the
    // files named in `archive` (the run's own input).
    void check(const std::vector<std::string>& archive) const {
        checkTree(dest());
        std::vector<std::string> after;
        for (const std::string& n : listing(dir))
            if (n.rfind("dest/", 0) != 0 && std::find(archive.begin(), archive.end(), n) == archive.end())
                after.push_back(n);
        if (after != before_) fail("something was written beside the destination");
        std::ifstream in(dir / "beside/canary", std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text != kCanary) fail("the host's file beside the destination changed");
    }
    const fs::path dir;

  private:
    static constexpr const char* kCanary = "host file";
    std::vector<std::string> before_;
};

} // namespace rarfuzz
