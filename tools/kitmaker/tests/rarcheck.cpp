#include "rarcheck.h"

#include <archive.h>
#include <archive_entry.h>
#include <blake2.h>
#include <zlib.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace rarcheck {

Scratch::Scratch() {
    std::string tmpl = (fs::temp_directory_path() / "rarwriter-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<std::string> folderNames(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int run(const std::string& command, std::string* out) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return -1;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        if (out) out->append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveBsdtar() {
    return run("command -v bsdtar >/dev/null 2>&1") == 0;
}

Listing readWithLibarchive(const std::vector<std::string>& volumes, bool keepContent) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    Listing out;
    archive* a = archive_read_new();
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
    std::vector<const char*> names;
    for (const std::string& v : volumes)
        names.push_back(v.c_str());
    names.push_back(nullptr);
    // libarchive's RAR 5 reader looks for the next volume's signature 512 bytes at a time and stops
    // when fewer bytes than that are left in the set; it reads a set fed as one padded stream.
    std::string joined;
    int opened;
    if (volumes.size() > 1 &&
        readFile(volumes[0]).compare(0, 8, std::string("Rar!\x1a\x07\x01\x00", 8)) == 0) {
        for (const std::string& v : volumes)
            joined += readFile(v);
        joined.append(1024, '\0');
        opened = archive_read_open_memory(a, joined.data(), joined.size());
    } else {
        opened = archive_read_open_filenames(a, names.data(), 65536);
    }
    if (opened != ARCHIVE_OK) {
        out.error = archive_error_string(a);
        archive_read_free(a);
        return out;
    }
    archive_entry* e;
    int r;
    while ((r = archive_read_next_header(a, &e)) == ARCHIVE_OK || r == ARCHIVE_WARN) {
        Listed l;
        const char* utf8 = archive_entry_pathname_utf8(e);
        l.name = utf8 ? utf8 : archive_entry_pathname(e);
        const mode_t type = archive_entry_filetype(e);
        l.type = type == AE_IFDIR ? 'd' : type == AE_IFLNK ? 'l' : '-';
        if (archive_entry_hardlink(e)) {
            l.type = 'h';
            l.link = archive_entry_hardlink(e);
        } else if (archive_entry_symlink(e)) {
            l.link = archive_entry_symlink(e);
        }
        l.size = archive_entry_size(e);
        l.mode = archive_entry_perm(e);
        l.mtime = archive_entry_mtime(e);
        char buf[65536];
        la_ssize_t n;
        n = 0;
        while (l.type != 'd' && (n = archive_read_data(a, buf, sizeof buf)) > 0) {
            l.content.append(buf, static_cast<size_t>(n));
            l.bytes += static_cast<uint64_t>(n);
            if (!keepContent && l.content.size() > 64) l.content.erase(0, l.content.size() - 64);
        }
        out.entries.push_back(l);
        if (n < 0) {
            out.error = l.name + ": " + archive_error_string(a);
            break;
        }
    }
    if (out.error.empty() && r != ARCHIVE_EOF) out.error = archive_error_string(a);
    archive_read_free(a);
    return out;
}

namespace {

uint32_t le16(const std::string& s, size_t at) {
    return static_cast<unsigned char>(s.at(at)) | static_cast<unsigned char>(s.at(at + 1)) << 8;
}

uint32_t le32(const std::string& s, size_t at) {
    return le16(s, at) | le16(s, at + 2) << 16;
}

uint64_t vint(const std::string& s, size_t& at) {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const unsigned char b = static_cast<unsigned char>(s.at(at++));
        v |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80)) return v;
    }
    throw std::runtime_error("vint too long");
}

uint32_t crcOf(const std::string& s, size_t from, size_t size) {
    return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(s.data() + from), size));
}

std::string blakeOf(const std::string& data) {
    unsigned char out[32];
    blake2sp(out, data.data(), nullptr, 32, data.size(), 0);
    return std::string(reinterpret_cast<char*>(out), 32);
}

// What a file header says, as read back.
struct ReadHeader {
    uint64_t packed = 0;
    bool before = false, after = false;
    bool hasCrc = false;
    uint32_t crc = 0;
    std::string blake;
};

ReadHeader rar4Header(const std::string& h) {
    if (static_cast<unsigned char>(h[2]) != 0x74) throw std::runtime_error("not a file header");
    if (le16(h, 0) != (crcOf(h, 2, h.size() - 2) & 0xFFFF)) throw std::runtime_error("header CRC wrong");
    if (le16(h, 5) != h.size()) throw std::runtime_error("header size wrong");
    const uint32_t flags = le16(h, 3);
    ReadHeader r;
    r.packed = le32(h, 7) | (flags & 0x100 ? static_cast<uint64_t>(le32(h, 32)) << 32 : 0);
    r.before = flags & 1;
    r.after = flags & 2;
    r.hasCrc = true;
    r.crc = le32(h, 16);
    return r;
}

ReadHeader rar5Header(const std::string& h) {
    size_t at = 4;
    const uint64_t size = vint(h, at);
    if (at + size != h.size()) throw std::runtime_error("header size wrong");
    if (le32(h, 0) != crcOf(h, 4, h.size() - 4)) throw std::runtime_error("header CRC wrong");
    if (vint(h, at) != 2) throw std::runtime_error("not a file header");
    const uint64_t flags = vint(h, at);
    const uint64_t extraSize = flags & 1 ? vint(h, at) : 0;
    ReadHeader r;
    r.packed = flags & 2 ? vint(h, at) : 0;
    r.before = flags & 0x08;
    r.after = flags & 0x10;
    const uint64_t fileFlags = vint(h, at);
    vint(h, at); // unpacked size
    vint(h, at); // attributes
    if (fileFlags & 2) at += 4;
    if (fileFlags & 4) {
        r.hasCrc = true;
        r.crc = le32(h, at);
        at += 4;
    }
    vint(h, at); // compression
    vint(h, at); // host
    at += vint(h, at);
    if (h.size() - at != extraSize) throw std::runtime_error("extra area size wrong");
    while (at < h.size()) {
        const uint64_t recordSize = vint(h, at);
        const size_t next = at + recordSize;
        if (vint(h, at) == 2) {
            if (vint(h, at) != 0) throw std::runtime_error("unknown hash type");
            r.blake = h.substr(at, 32);
        }
        at = next;
    }
    if (at != h.size()) throw std::runtime_error("extra records overrun the header");
    return r;
}

} // namespace

std::string verifyChecksums(const kitmaker::RarLayout& layout, kitmaker::RarFormat format) {
    using kitmaker::RarBlock;
    const bool rar5 = format == kitmaker::RarFormat::rar5;
    std::ostringstream problems;
    struct Piece {
        ReadHeader header;
        std::string data;
        int part;
    };
    std::map<int, std::vector<Piece>> pieces;
    for (size_t v = 0; v < layout.volumes.size(); ++v) {
        const kitmaker::RarVolume& vol = layout.volumes[v];
        const std::string bytes = readFile(vol.path);
        if (bytes.size() != vol.size) problems << vol.path << ": size " << bytes.size() << "\n";
        uint64_t expected = 0;
        for (const RarBlock& b : vol.blocks) {
            if (b.offset != expected) problems << vol.path << ": gap before " << b.offset << "\n";
            expected = b.offset + b.size;
            const std::string h = bytes.substr(b.offset, b.size);
            try {
                if (b.type == RarBlock::Type::mainHeader || b.type == RarBlock::Type::endHeader) {
                    const bool ok = rar5 ? le32(h, 0) == crcOf(h, 4, h.size() - 4)
                                         : le16(h, 0) == (crcOf(h, 2, h.size() - 2) & 0xFFFF);
                    if (!ok) problems << vol.path << ": CRC of block at " << b.offset << "\n";
                } else if (b.type == RarBlock::Type::fileHeader) {
                    pieces[b.entry].push_back({rar5 ? rar5Header(h) : rar4Header(h), {}, b.part});
                } else if (b.type == RarBlock::Type::data) {
                    if (pieces[b.entry].empty() || pieces[b.entry].back().part != b.part)
                        problems << "data without its header at " << b.offset << "\n";
                    else
                        pieces[b.entry].back().data = h;
                }
            } catch (const std::exception& e) {
                problems << vol.path << ": block at " << b.offset << ": " << e.what() << "\n";
            }
        }
        if (expected != bytes.size()) problems << vol.path << ": blocks end at " << expected << "\n";
    }
    for (const auto& [entry, list] : pieces) {
        std::string whole;
        for (size_t i = 0; i < list.size(); ++i) {
            const Piece& p = list[i];
            whole += p.data;
            const bool last = i + 1 == list.size();
            if (p.part != static_cast<int>(i) || p.header.before != (i > 0) || p.header.after == last ||
                p.header.packed != p.data.size())
                problems << "entry " << entry << " piece " << i << ": flags or size disagree\n";
            const std::string& covered = last ? whole : p.data;
            if (p.header.hasCrc && p.header.crc != crcOf(covered, 0, covered.size()))
                problems << "entry " << entry << " piece " << i << ": CRC32 wrong\n";
            if (!p.header.blake.empty() && p.header.blake != blakeOf(covered))
                problems << "entry " << entry << " piece " << i << ": BLAKE2sp wrong\n";
        }
    }
    return problems.str();
}

std::u16string decodeRar4UnicodeName(const std::string& field) {
    const size_t zero = field.find('\0');
    const std::string plain = field.substr(0, zero);
    std::u16string out;
    size_t at = zero + 1;
    auto next = [&]() -> unsigned {
        if (at >= field.size()) throw std::runtime_error("encoded name ends early");
        return static_cast<unsigned char>(field[at++]);
    };
    const unsigned high = next();
    unsigned flags = 0;
    int flagBits = 0;
    while (at < field.size()) {
        if (flagBits == 0) {
            flags = next();
            flagBits = 8;
        }
        switch (flags >> 6) {
        case 0:
            out += static_cast<char16_t>(next());
            break;
        case 1:
            out += static_cast<char16_t>(next() | high << 8);
            break;
        case 2: {
            const unsigned lo = next();
            out += static_cast<char16_t>(lo | next() << 8);
            break;
        }
        default: {
            unsigned length = next();
            const bool corrected = length & 0x80;
            const unsigned correction = corrected ? next() : 0;
            for (length = (length & 0x7F) + 2; length > 0; --length) {
                const unsigned c = static_cast<unsigned char>(plain.at(out.size()));
                out += corrected ? static_cast<char16_t>(((c + correction) & 0xFF) | high << 8)
                                 : static_cast<char16_t>(c);
            }
        }
        }
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    return out;
}

} // namespace rarcheck
