#include "demokit.h"

#include "modwriter.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kitmaker {

std::string installIniText(const DemoKit& kit) {
    std::string s;
    s += "; Installer settings of the demo product\r\n";
    s += "[OPTIONS]\r\n";
    s += "APPZ=" + kit.productName + "\r\n";
    s += "SIZE=" + kit.requiredMb + "\r\n";
    s += "DIR=" + kit.defaultDir + "\r\n";
    s += "FILERAR=" + kit.archiveFile + "\r\n";
    s += "NFO=" + kit.infoFile + "\r\n";
    s += "REG=" + kit.openAfterFile + "\r\n";
    s += "SCRTXT=\"" + kit.scrollLine + "\"\r\n";
    s += "FILES=" + kit.volumeCount + "\r\n";
    return s;
}

namespace {

// CP437 code points of the drawing characters used below.
constexpr char kTL = '\xC9', kTR = '\xBB', kBL = '\xC8', kBR = '\xBC', kH = '\xCD', kV = '\xBA';
constexpr char kTeeL = '\xCC', kTeeR = '\xB9';
constexpr char kFull = '\xDB', kLight = '\xB0', kMedium = '\xB1', kDark = '\xB2';

std::string repeat(char c, int n) {
    return std::string(static_cast<std::size_t>(n), c);
}

std::string framed(const std::string& text, int inner) {
    std::string line = text.substr(0, static_cast<std::size_t>(inner));
    const int pad = inner - static_cast<int>(line.size());
    return std::string(1, kV) + repeat(' ', pad / 2) + line + repeat(' ', pad - pad / 2) + kV + "\r\n";
}

} // namespace

std::string infoFileBytes(const DemoKit& kit) {
    const int inner = 60;
    // Large block letters "HALCYON", five rows high.
    static const char* const kLogo[5] = {
        "#  #  ##  #     ###  #   #  ##  #  #", "#  # #  # #    #      # #  #  # ## #",
        "#### #### #    #       #   #  # # ##", "#  # #  # #    #       #   #  # #  #",
        "#  # #  # ####  ###    #    ##  #  #",
    };
    std::string out;
    out += std::string(1, kTL) + repeat(kH, inner) + kTR + "\r\n";
    out += framed("", inner);
    for (const char* row : kLogo) {
        std::string r;
        for (const char* p = row; *p; ++p)
            r += (*p == '#') ? kFull : ' ';
        out += framed(r, inner);
    }
    out += framed(repeat(kLight, 12) + repeat(kMedium, 12) + repeat(kDark, 12), inner);
    out += framed("", inner);
    out += std::string(1, kTeeL) + repeat(kH, inner) + kTeeR + "\r\n";
    out += framed(kit.productName, inner);
    out += framed("", inner);
    out += framed("Release information", inner);
    out += std::string(1, kTeeL) + repeat(kH, inner) + kTeeR + "\r\n";
    const char* const notes[] = {
        "Required space : ",
        "Archive        : ",
        "Volumes        : ",
    };
    out += framed(std::string(notes[0]) + kit.requiredMb + " Mb", inner);
    out += framed(std::string(notes[1]) + kit.archiveFile, inner);
    out += framed(std::string(notes[2]) + kit.volumeCount, inner);
    out += framed("", inner);
    out += framed("Install: click Install Game, choose a folder,", inner);
    out += framed("then Install and Extract.", inner);
    out += std::string(1, kBL) + repeat(kH, inner) + kBR + "\r\n";
    return out;
}

std::string followUpText(const DemoKit& kit) {
    return kit.productName + "\r\n\r\nThank you for installing the demo product.\r\n"
                             "The files were unpacked into the folder you chose; it opens next.\r\n";
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeKitTexts(const std::string& folder, const DemoKit& kit) {
    std::filesystem::create_directories(folder);
    const std::string base = folder + "/";
    writeFile(base + "install.ini", installIniText(kit));
    writeFile(base + kit.infoFile, infoFileBytes(kit));
    writeFile(base + kit.openAfterFile, followUpText(kit));
}

void writeKitMusic(const std::string& folder) {
    std::filesystem::create_directories(folder);
    writeFile(folder + "/install.dat", modFileBytes(composeDemoSong()));
}

std::vector<RarEntry> demoContent(const DemoKit& kit) {
    std::vector<RarEntry> e;
    e.push_back(RarEntry::file("readme.txt", followUpText(kit)));
    e.push_back(RarEntry::directory("docs"));
    std::string manual = kit.productName + " - manual\r\n\r\n";
    for (int chapter = 1; chapter <= 40; ++chapter) {
        manual += "Chapter " + std::to_string(chapter) + "\r\n";
        for (int line = 0; line < 12; ++line)
            manual += "  The demo product keeps its data in the folder you chose during installation.\r\n";
    }
    e.push_back(RarEntry::file("docs/manual.txt", manual));
    e.push_back(RarEntry::symlink("docs/latest.txt", "manual.txt"));
    e.push_back(RarEntry::directory("data"));
    // Four data files of deterministic noise, about 3 MB in all.
    std::uint32_t state = 0x1234567u;
    for (int world = 1; world <= 4; ++world) {
        std::string bytes(700 * 1024 + world * 4099, '\0');
        for (char& c : bytes) {
            state = state * 1664525u + 1013904223u;
            c = static_cast<char>(state >> 24);
        }
        e.push_back(RarEntry::file("data/world0" + std::to_string(world) + ".dat", bytes));
    }
    e.push_back(RarEntry::directory("music"));
    e.push_back(RarEntry::file("music/theme.mod", modFileBytes(composeDemoSong())));
    e.push_back(RarEntry::directory("bin"));
    e.push_back(RarEntry::file(
        "bin/start.sh", "#!/bin/sh\necho \"" + kit.productName + " is installed in $(dirname \"$0\")/..\"\n",
        0755));
    return e;
}

std::vector<std::string> writeKitArchive(const std::string& folder, const DemoKit& kit) {
    std::filesystem::create_directories(folder);
    const std::vector<RarEntry> entries = demoContent(kit);
    std::uint64_t total = 0;
    for (const RarEntry& r : entries)
        total += r.data.size() + r.name.size() + 64;
    const int volumes = std::stoi(kit.volumeCount);
    // The base name is the first volume's name less ".part1.rar".
    std::string base = kit.archiveFile;
    const std::string suffix = ".part1.rar";
    if (base.size() > suffix.size() && base.compare(base.size() - suffix.size(), suffix.size(), suffix) == 0)
        base.resize(base.size() - suffix.size());
    RarWriteOptions options;
    options.volumeSize = volumes > 1 ? total / static_cast<std::uint64_t>(volumes) + 16 * 1024 : 0;
    std::vector<std::string> written = writeRar(folder + "/" + base, entries, options);
    if (static_cast<int>(written.size()) != volumes)
        throw std::runtime_error("the demo archive came out as " + std::to_string(written.size()) +
                                 " volumes instead of " + kit.volumeCount);
    return written;
}

void writeDemoKit(const std::string& folder, const DemoKit& kit) {
    writeKitTexts(folder, kit);
    writeKitMusic(folder);
    writeKitArchive(folder, kit);
}

} // namespace kitmaker
