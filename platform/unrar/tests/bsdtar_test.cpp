// What the archive layer extracts, compared with what bsdtar (libarchive's own tool, a reader we did
// not write) extracts from the same archive: names, contents, link targets, hard links.
#include "rarwriter.h"
#include "tree.h"
#include "unrar/unrar.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using kitmaker::RarEntry;
using kitmaker::RarFormat;
using testsupport::ScratchDir;

namespace {

bool haveBsdtar() {
    return std::system("command -v bsdtar >/dev/null 2>&1") == 0;
}

// Extracts every entry through the archive interface in the C locale.
void extractInCLocale(const std::string& archive, const fs::path& dest) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    std::string name = archive, target = dest.string();
    RAROpenArchiveData od{};
    od.ArcName = name.data();
    HANDLE h = RAROpenArchive(&od);
    ASSERT_NE(h, nullptr);
    RARHeaderData hd{};
    int r;
    while ((r = RARReadHeader(h, &hd)) == ERAR_SUCCESS)
        EXPECT_EQ(RARProcessFile(h, RAR_EXTRACT, target.data(), nullptr), ERAR_SUCCESS) << hd.FileName;
    EXPECT_EQ(r, ERAR_END_ARCHIVE);
    RARCloseArchive(h);
    std::setlocale(LC_ALL, saved.c_str());
}

ino_t inode(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_ino : 0;
}

} // namespace

// bsdtar cannot name RAR 4 Unicode entries in the C locale at all (it skips them: "Pathname cannot be
// converted from UTF-16BE to current locale"), so its reference extraction runs in C.UTF-8; ours runs
// in the C locale and must give the same names.
TEST(Bsdtar, Rar4JapaneseNamesComeOutAsBsdtarNamesThem) {
    if (!haveBsdtar()) GTEST_SKIP() << "bsdtar is not installed (package libarchive-tools)";
    ScratchDir d;
    kitmaker::RarWriteOptions o;
    o.format = RarFormat::rar4;
    const auto v =
        kitmaker::writeRar((d / "jp").string(),
                           {RarEntry::directory("日本語"), RarEntry::file("日本語/ファイル.txt", "かな"),
                            RarEntry::file("日本語/漢字とカナ.bin", std::string(5000, 'k')),
                            RarEntry::symlink("リンク", "日本語/ファイル.txt")},
                           o);
    fs::create_directories(d / "bsdtar");
    ASSERT_EQ(
        std::system(
            ("cd '" + (d / "bsdtar").string() + "' && LC_ALL=C.UTF-8 bsdtar -xf '" + v[0] + "'").c_str()),
        0);
    extractInCLocale(v[0], d / "ours");
    const auto ours = testsupport::treeManifest(d / "ours");
    EXPECT_EQ(ours, testsupport::treeManifest(d / "bsdtar"));
    EXPECT_NE(std::find(ours.begin(), ours.end(), "link リンク -> 日本語/ファイル.txt"), ours.end());
}

// RAR 5 in the C locale on both sides: a hard link is a second name of the same file, a symbolic link
// keeps its target.
TEST(Bsdtar, Rar5HardAndSymbolicLinksComeOutAsBsdtarMakesThem) {
    if (!haveBsdtar()) GTEST_SKIP() << "bsdtar is not installed (package libarchive-tools)";
    ScratchDir d;
    kitmaker::RarWriteOptions o;
    o.format = RarFormat::rar5;
    const auto v = kitmaker::writeRar((d / "links").string(),
                                      {RarEntry::directory("dir"), RarEntry::file("dir/file.txt", "shared"),
                                       RarEntry::hardlink("hard.txt", "dir/file.txt"),
                                       RarEntry::symlink("soft.txt", "dir/file.txt"),
                                       RarEntry::symlink("dir/up", "../hard.txt")},
                                      o);
    fs::create_directories(d / "bsdtar");
    ASSERT_EQ(
        std::system(("cd '" + (d / "bsdtar").string() + "' && LC_ALL=C bsdtar -xf '" + v[0] + "'").c_str()),
        0);
    extractInCLocale(v[0], d / "ours");
    EXPECT_EQ(testsupport::treeManifest(d / "ours"), testsupport::treeManifest(d / "bsdtar"));
    for (const char* side : {"ours", "bsdtar"}) {
        SCOPED_TRACE(side);
        EXPECT_EQ(inode(d / side / "hard.txt"), inode(d / side / "dir/file.txt")); // one file, two names
        EXPECT_EQ(fs::read_symlink(d / side / "soft.txt"), "dir/file.txt");
    }
}
