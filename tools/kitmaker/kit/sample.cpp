#include "sample.h"

#include "demokit.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace kitmaker {

namespace {

void put(const fs::path& path, const std::string& bytes, std::uint32_t mode) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out || ::chmod(path.c_str(), mode) != 0) throw KitError("cannot write " + path.string());
}

} // namespace

void writeSampleProduct(const std::string& folder) {
    const fs::path root(folder);
    std::error_code ec;
    if (fs::exists(root) && !fs::is_empty(root, ec))
        throw KitError("the folder " + folder + " is not empty; the demo product needs an empty one");
    fs::create_directories(root, ec);
    if (ec) throw KitError("cannot create " + folder + ": " + ec.message());
    const DemoKit demo;
    for (const RarEntry& e : demoContent(demo)) {
        const fs::path p = root / e.name;
        switch (e.kind) {
        case RarEntry::Kind::directory:
            fs::create_directories(p, ec);
            if (ec) throw KitError("cannot create " + p.string() + ": " + ec.message());
            break;
        case RarEntry::Kind::symlink:
            fs::create_directories(p.parent_path(), ec);
            if (::symlink(e.data.c_str(), p.c_str()) != 0)
                throw KitError("cannot create the link " + p.string() + ": " + std::strerror(errno));
            break;
        case RarEntry::Kind::file:
            put(p, e.data, e.mode ? e.mode : 0644);
            break;
        }
    }
    // What every product has somewhere: deeper folders, an empty file, names beyond ASCII.
    put(root / "data/levels/1/2/3/deep.txt", "five folders down\n", 0644);
    put(root / "data/saves/.keep", "", 0644);
    put(root / "docs/données/café menu.txt", "Crème brûlée, 4 €\n", 0644);
    put(root / "docs/日本語/説明.txt", "インストールありがとうございます。\n", 0644);
    put(root / "docs/Ελληνικά.txt", "Καλή διασκέδαση!\n", 0644);
}

KitOptions demoKitOptions(const std::string& productFolder, const std::string& kitFolder) {
    KitOptions o;
    o.from = productFolder;
    o.out = kitFolder;
    o.name = DemoKit{}.productName;
    o.defaultDir = DemoKit{}.defaultDir;
    o.archiveBase = "halcyon";
    o.volumeSize = 1200 * 1024; // the demo product (3.2 MB) in three volumes
    o.force = true;
    return o;
}

std::vector<std::string> commandLine(const KitOptions& o) {
    std::vector<std::string> args{"kitmaker", "--from", o.from, "--name", o.name, "--out", o.out};
    auto add = [&](const char* option, const std::string& value) {
        if (!value.empty()) args.insert(args.end(), {option, value});
    };
    add("--dir", o.defaultDir);
    add("--archive", o.archiveBase);
    if (o.volumeSize) {
        const bool kib = o.volumeSize % 1024 == 0;
        add("--volume-size", kib ? std::to_string(o.volumeSize / 1024) + "K" : std::to_string(o.volumeSize));
    }
    if (o.oldNaming) add("--naming", "old");
    if (!o.rar5) add("--format", "rar4");
    add("--music", o.music);
    add("--info", o.info);
    add("--readme", o.readme);
    add("--scroll", o.scroll);
    if (o.force) args.push_back("--force");
    return args;
}

} // namespace kitmaker
