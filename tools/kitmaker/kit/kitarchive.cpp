#include "kitarchive.h"

#include "progress.h"
#include "rarwriter.h"

namespace kitmaker {

std::vector<std::string> writeProductArchive(const std::string& base, const ProductScan& scan,
                                             const ArchiveSettings& settings, Progress* progress) {
    std::vector<RarEntry> entries;
    entries.reserve(scan.entries.size());
    for (const ProductEntry& p : scan.entries) {
        RarEntry e;
        switch (p.kind) {
        case ProductEntry::Kind::directory:
            e = RarEntry::directory(p.path, p.mode);
            break;
        case ProductEntry::Kind::symlink:
            e = RarEntry::symlink(p.path, p.target);
            break;
        case ProductEntry::Kind::file:
            e = RarEntry::streamed(p.path, p.source, p.mode);
            break;
        case ProductEntry::Kind::hardlink:
            // RAR 5 keeps the second name as a link; RAR 4 has no hard links and stores the file again.
            e = settings.rar5 ? RarEntry::hardlink(p.path, p.target)
                              : RarEntry::streamed(p.path, p.source, p.mode);
            break;
        }
        if (p.kind == ProductEntry::Kind::hardlink && p.mode) e.mode = p.mode;
        e.mtime = p.mtime;
        entries.push_back(std::move(e));
    }
    RarWriteOptions options;
    options.volumeSize = settings.volumeSize;
    options.oldNaming = settings.oldNaming;
    options.format = settings.rar5 ? RarFormat::rar5 : RarFormat::rar4;
    bool begun = false;
    if (progress)
        options.progress = [&](std::uint64_t done, std::uint64_t total) {
            if (!begun) progress->begin("Writing the archive", total);
            begun = true;
            progress->update(done);
        };
    std::vector<std::string> volumes = writeRar(base, entries, options);
    if (progress && begun) progress->end();
    return volumes;
}

} // namespace kitmaker
