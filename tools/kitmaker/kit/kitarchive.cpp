#include "kitarchive.h"

#include "progress.h"
#include "rarwriter.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kitmaker {

std::vector<std::string> writeProductArchive(const std::string& base, const ProductScan& scan,
                                             const ArchiveSettings& settings, Progress* progress) {
    if (settings.rar5) throw std::runtime_error("this kitmaker writes RAR 4 volumes only");
    std::vector<RarEntry> entries;
    std::uint64_t done = 0;
    if (progress) progress->begin("Reading the product", scan.fileBytes);
    for (const ProductEntry& p : scan.entries) {
        RarEntry e;
        e.name = p.path;
        e.mode = p.mode;
        e.mtime = p.mtime;
        switch (p.kind) {
        case ProductEntry::Kind::directory:
            e.kind = RarEntry::Kind::directory;
            break;
        case ProductEntry::Kind::symlink:
            e.kind = RarEntry::Kind::symlink;
            e.data = p.target;
            break;
        case ProductEntry::Kind::file:
        case ProductEntry::Kind::hardlink: {
            e.kind = RarEntry::Kind::file;
            std::ifstream in(p.source, std::ios::binary);
            e.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (!in.eof() && !in) throw std::runtime_error("cannot read " + p.source);
            if (e.data.size() != p.size)
                throw std::runtime_error(p.source + " changed while the kit was written");
            if (p.kind == ProductEntry::Kind::file) done += p.size;
            if (progress) progress->update(done, p.path);
            break;
        }
        }
        entries.push_back(std::move(e));
    }
    if (progress) progress->end();
    RarWriteOptions options;
    options.volumeSize = settings.volumeSize;
    options.oldNaming = settings.oldNaming;
    return writeRar(base, entries, options);
}

} // namespace kitmaker
