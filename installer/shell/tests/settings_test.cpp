#include "framework/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace {

struct TempIni {
    std::filesystem::path dir;
    explicit TempIni(const std::string& content) {
        dir = std::filesystem::temp_directory_path() /
              ("settings_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "install.ini", std::ios::binary) << content;
    }
    ~TempIni() { std::filesystem::remove_all(dir); }
    std::string folder() const { return dir.string() + "/"; }
    TInstallSettings read() const {
        TInstallSettings s;
        ReadInstallSettings(s, folder() + "install.ini", folder());
        return s;
    }
    static inline int counter = 0;
};

} // namespace

TEST(InstallSettings, ReadsEveryKeyWhateverTheCaseAndQuoting) {
    TempIni ini("[options]\n"
                "appz =   \"  Space Game  \"  \n"
                "size=12\ndir=Game\nfilerar=game.rar\nnfo=info.nfo\nreg=readme.txt\n"
                "scrtxt='Hello world'\nfiles=3\n");
    const TInstallSettings s = ini.read();
    EXPECT_EQ(s.AppName, "  Space Game  ");
    EXPECT_EQ(s.RequiredSize, "12");
    EXPECT_EQ(s.DefaultDir, "Game");
    EXPECT_EQ(s.ArchiveFile, "game.rar");
    EXPECT_EQ(s.InfoFile, "info.nfo");
    EXPECT_EQ(s.OpenAfterFile, "readme.txt");
    EXPECT_EQ(s.ScrollLine, "Hello world");
    EXPECT_EQ(s.VolumeCount, "3");
    EXPECT_EQ(s.OpenAfterPath, ini.folder() + "readme.txt");
}

TEST(InstallSettings, CutsLongValuesAndTakesTheFirstOccurrence) {
    TempIni ini("[OPTIONS]\nSCRTXT=" + std::string(300, 'x') + "\nAPPZ=first\nAPPZ=second\n");
    const TInstallSettings s = ini.read();
    EXPECT_EQ(s.ScrollLine, std::string(250, 'x'));
    EXPECT_EQ(s.AppName, "first");
    // 250 characters, not bytes, of a name that is not ASCII.
    std::string accented;
    for (int i = 0; i < 300; ++i)
        accented += "\xC3\xA9";
    EXPECT_EQ(TempIni("[OPTIONS]\nAPPZ=" + accented + "\n").read().AppName, accented.substr(0, 500));
}

TEST(InstallSettings, NoneOrAbsentRegAndAbsentFile) {
    EXPECT_EQ(TempIni("[OPTIONS]\nREG=NONE\n").read().OpenAfterFile, "NONE");
    TempIni noReg("[OPTIONS]\nAPPZ=x\n");
    const TInstallSettings s = noReg.read();
    EXPECT_EQ(s.OpenAfterFile, "");
    EXPECT_EQ(s.OpenAfterPath, noReg.folder()); // the program folder itself is opened

    TInstallSettings none;
    ReadInstallSettings(none, "/nonexistent/install.ini", "/nonexistent/");
    EXPECT_EQ(none.AppName, "");
    EXPECT_EQ(none.VolumeCount, "");
}

TEST(InstallSettings, BinaryOrHugeFilesGiveWhateverTheRulesYield) {
    std::string big = "[OPTIONS]\nAPPZ=" + std::string(1 << 20, 'y'); // 1 MB line, no final newline
    EXPECT_EQ(TempIni(big).read().AppName, std::string(250, 'y'));
    std::string bin = std::string("[OPTIONS]\nAPPZ=a") + '\0' + "b\nSIZE=\x01\x02\xff";
    const TInstallSettings s = TempIni(bin).read();
    EXPECT_EQ(s.AppName, "a");
    EXPECT_EQ(s.RequiredSize, "\x01\x02\xff");
}

// install.ini that is a FIFO (nobody writing: opening it would block), a device or far too large
// reads as an empty file instead of hanging or filling memory.
TEST(InstallSettings, OnlyARegularFileOfSaneSizeIsRead) {
    TempIni ini("[OPTIONS]\nAPPZ=x\n");
    const std::string path = ini.folder() + "install.ini";
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(ini.read().AppName, "");
    std::filesystem::remove(path);
    std::filesystem::create_symlink("/dev/zero", path);
    EXPECT_EQ(ini.read().AppName, "");
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << "[OPTIONS]\nAPPZ=big\n" << std::string(5 << 20, ';');
    EXPECT_EQ(ini.read().AppName, "");
    std::filesystem::remove(path);
    std::ofstream(path, std::ios::binary) << "[OPTIONS]\nAPPZ=fine\n";
    EXPECT_EQ(ini.read().AppName, "fine");
}
