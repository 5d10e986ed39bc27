// How the link-safety fuzz target reads its input as a list of archive entries, and how the seed
// writer puts such a list together: one byte for the kind of entry, then its name and (for links)
// its target, each a count byte and that many part bytes, every part byte an index into `kParts`.
// A list with a hard link in it is written as RAR 5 (RAR 4 has none), any other as RAR 4.
#pragma once
#include "rarwriter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rarlinks {

// The parts names and targets are made of: a few names, the ways up and around, and the way to
// the folder beside the destination (`beside`, where the target keeps a file of the host's).
inline const char* const kParts[] = {"a", "b", "c", "d1", "d2", "..", ".", "beside", "canary", ""};
constexpr size_t kPartCount = sizeof kParts / sizeof kParts[0];
constexpr size_t kMaxEntries = 24;
constexpr size_t kMaxParts = 8;

enum class Kind : uint8_t { file = 0, directory = 1, symlink = 2, absoluteSymlink = 3, hardlink = 4 };
constexpr unsigned kKinds = 5;

inline std::string path(const uint8_t*& p, const uint8_t* end) {
    if (p >= end) return "a";
    const size_t n = *p++ % kMaxParts + 1;
    std::string s;
    for (size_t i = 0; i < n && p < end; ++i) {
        if (i) s += '/';
        s += kParts[*p++ % kPartCount];
    }
    return s.empty() ? "a" : s;
}

inline std::vector<kitmaker::RarEntry> entries(const uint8_t* data, size_t size) {
    std::vector<kitmaker::RarEntry> out;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    while (p < end && out.size() < kMaxEntries) {
        const auto kind = static_cast<Kind>(*p++ % kKinds);
        std::string name = path(p, end);
        switch (kind) {
        case Kind::file:
            out.push_back(kitmaker::RarEntry::file(name, "content of " + name));
            break;
        case Kind::directory:
            out.push_back(kitmaker::RarEntry::directory(name));
            break;
        case Kind::hardlink:
            out.push_back(kitmaker::RarEntry::hardlink(name, path(p, end)));
            break;
        default: {
            std::string target = path(p, end);
            if (kind == Kind::absoluteSymlink) target = "/" + target;
            out.push_back(kitmaker::RarEntry::symlink(name, target));
            break;
        }
        }
    }
    return out;
}

// The input bytes that give an entry of `kind` named by the parts `name` (indices into kParts)
// with the target `target`.
inline std::string encode(Kind kind, const std::vector<uint8_t>& name,
                          const std::vector<uint8_t>& target = {}) {
    std::string s(1, static_cast<char>(kind));
    auto add = [&](const std::vector<uint8_t>& parts) {
        s += static_cast<char>(parts.size() - 1);
        for (uint8_t i : parts)
            s += static_cast<char>(i);
    };
    add(name);
    if (kind != Kind::file && kind != Kind::directory) add(target);
    return s;
}

inline kitmaker::RarFormat format(const std::vector<kitmaker::RarEntry>& entries) {
    for (const kitmaker::RarEntry& e : entries)
        if (e.isHardlink()) return kitmaker::RarFormat::rar5;
    return kitmaker::RarFormat::rar4;
}

} // namespace rarlinks
