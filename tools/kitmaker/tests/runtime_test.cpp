// The installer's runtime as kitmaker computes it from the built binaries, and a kit made by the
// kitmaker program that runs on its own runtime.
#include "kitbuild.h"
#include "run.h"
#include "runtime.h"
#include "sample.h"
#include "tree.h"

#include <QLibraryInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using namespace kitmaker;

namespace {

const std::string kBin = KIT_BIN_DIR;

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

} // namespace

TEST(Runtime, LddListingsAreRead) {
    const LddListing l = parseLdd(
        "\tlinux-vdso.so.1 (0x00007ffd)\n"
        "\tlibQt6Core.so.6 => /lib/x86_64-linux-gnu/libQt6Core.so.6 (0x00007f)\n"
        "\tlibgone.so.2 => not found\n"
        "\tlibpulsecommon-16.1.so => /usr/lib/x86_64-linux-gnu/pulseaudio/libpulsecommon-16.1.so (0x1)\n"
        "\t/lib64/ld-linux-x86-64.so.2 (0x00007f)\n");
    ASSERT_EQ(l.libraries.size(), 2u);
    EXPECT_EQ(l.libraries[0].soname, "libQt6Core.so.6");
    EXPECT_EQ(l.libraries[0].path, "/lib/x86_64-linux-gnu/libQt6Core.so.6");
    EXPECT_EQ(l.libraries[1].path, "/usr/lib/x86_64-linux-gnu/pulseaudio/libpulsecommon-16.1.so");
    EXPECT_EQ(l.missing, std::vector<std::string>{"libgone.so.2"});

    for (const char* system : {"libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libX11.so.6",
                               "libxcb.so.1", "ld-linux-x86-64.so.2", "libpthread.so.0"})
        EXPECT_TRUE(leftToSystem(system)) << system;
    for (const char* travels : {"libQt6Core.so.6", "libxcb-icccm.so.4", "libxkbcommon.so.0", "libz.so.1",
                                "libSDL2-2.0.so.0", "libcrypt.so.1", "libXi.so.6"})
        EXPECT_FALSE(leftToSystem(travels)) << travels;
}

TEST(Runtime, ComputedForTheBuiltInstaller) {
    const std::string qtPlugins = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    const Runtime rt = computeRuntime(kBin + "/install", qtPlugins);
    std::set<std::string> names;
    for (const SharedLibrary& lib : rt.libraries) {
        names.insert(lib.soname);
        EXPECT_FALSE(leftToSystem(lib.soname)) << lib.soname;
        EXPECT_TRUE(fs::is_regular_file(lib.path)) << lib.path;
    }
    // Qt and its platform plug-in's libraries, the sound and archive libraries with what they load,
    // libjpeg, and our own.
    for (const char* needed :
         {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libQt6XcbQpa.so.6",
          "libxkbcommon-x11.so.0", "libxcb-icccm.so.4", "libicudata.so.72", "libSDL2-2.0.so.0",
          "libopenmpt.so.0", "libvorbis.so.0", "libarchive.so.13", "liblzma.so.5", "libjpeg.so.62",
          "libkitdesktop.so", "libmidas.so", "libkitunrar.so", "libfontconfig.so.1"})
        EXPECT_TRUE(names.count(needed)) << needed;
    const std::set<std::string> system(rt.systemLibraries.begin(), rt.systemLibraries.end());
    for (const char* left : {"libc.so.6", "libstdc++.so.6", "libgcc_s.so.1", "libX11.so.6", "libxcb.so.1"})
        EXPECT_TRUE(system.count(left)) << left;
    ASSERT_EQ(rt.plugins.size(), 3u);
    EXPECT_EQ(rt.plugins[0].dest, "runtime/plugins/platforms/libqxcb.so");
    std::set<std::string> fonts;
    for (const RuntimeFile& f : rt.fonts)
        fonts.insert(fs::path(f.dest).filename().string());
    for (const char* font : {"LiberationSans-Regular.ttf", "LiberationSans-BoldItalic.ttf", "DejaVuSans.ttf",
                             "DejaVuSansMono.ttf"})
        EXPECT_TRUE(fonts.count(font)) << font;
    EXPECT_GT(rt.bytes, 20u << 20);

    EXPECT_THROW(computeRuntime(kBin + "/no-such-installer", qtPlugins), std::runtime_error);
    EXPECT_THROW(computeRuntime(kBin + "/install", "/nonexistent"), std::runtime_error);
}

// The kitmaker program makes a kit whose installer loads nothing from the build's libraries: every
// library outside the base system comes from the kit, and it installs the product unattended.
TEST(Runtime, KitMadeByKitmakerRunsOnItsOwnRuntime) {
    testsupport::ScratchDir d;
    writeSampleProduct((d / "product").string());
    const fs::path kit = d / "kit";
    const ProgramResult made = runProgram({kBin + "/kitmaker", "--from", (d / "product").string(), "--name",
                                           "Runtime Test", "--out", kit.string(), "--volume-size", "1M"});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_NE(made.output.find("of which the installer and its runtime"), std::string::npos) << made.output;
    EXPECT_TRUE(fs::is_regular_file(kit / "runtime/libQt6Core.so.6"));
    EXPECT_TRUE(fs::is_regular_file(kit / "runtime/plugins/platforms/libqxcb.so"));
    EXPECT_TRUE(fs::is_regular_file(kit / "runtime/fonts/LiberationSans-Regular.ttf"));
    EXPECT_FALSE(fs::exists(kit / "runtime/libc.so.6"));
    EXPECT_FALSE(fs::exists(kit / "libkitdesktop.so")); // the top level stays tidy
    EXPECT_TRUE(runtimeProblems(kit.string()).empty()) << joined(runtimeProblems(kit.string()));

    // The font configuration the installer points fontconfig at: the kit's fonts are found beside the
    // system's own (the system's configuration is read through it where there is one).
    const ProgramResult fonts = runProgram(
        {"env", "FONTCONFIG_FILE=" + (kit / "runtime/fonts/fonts.conf").string(), "fc-list", ":", "file"});
    ASSERT_EQ(fonts.exitCode, 0) << fonts.output;
    for (const char* font : {"LiberationSans-Regular.ttf", "DejaVuSansMono.ttf"})
        EXPECT_NE(fonts.output.find((kit / "runtime/fonts" / font).string() + ":"), std::string::npos)
            << fonts.output;
    if (fs::is_regular_file("/etc/fonts/fonts.conf")) {
        EXPECT_NE(fonts.output.find("/usr/share/fonts/"), std::string::npos) << fonts.output;
    }

    const ProgramResult verified = runProgram({kBin + "/kitmaker", "--verify", kit.string()});
    EXPECT_EQ(verified.exitCode, 0) << verified.output;

    const ProgramResult installed =
        runProgram({(kit / "install").string(), "--silent", "--dir", (d / "target").string()});
    ASSERT_EQ(installed.exitCode, 0) << installed.output;
    EXPECT_EQ(testsupport::treeManifest(d / "target"), testsupport::treeManifest(d / "product"));

    // The windows start too, with the kit's platform plug-in (qt.conf leads Qt to it).
    const ProgramResult shown =
        runProgram({"env", "QT_QPA_PLATFORM=offscreen", "KIT_INSTALL_QUIT_AFTER_MS=300",
                    "SDL_AUDIODRIVER=dummy", "QT_DEBUG_PLUGINS=1", (kit / "install").string()});
    EXPECT_EQ(shown.exitCode, 0) << shown.output;
    EXPECT_NE(shown.output.find((kit / "runtime/plugins/platforms/libqoffscreen.so").string()),
              std::string::npos)
        << shown.output;

    // The runtime prepared for this build is reused by the next kit, and prepared again when what it
    // was made from no longer matches.
    const fs::path stamp = fs::path(kBin) / "kit-runtime/.stamp";
    ASSERT_TRUE(fs::is_regular_file(stamp));
    const std::string good = testsupport::readFile(stamp);
    std::ofstream(stamp, std::ios::trunc) << "made from something else\n";
    const ProgramResult again = runProgram({kBin + "/kitmaker", "--from", (d / "product").string(), "--name",
                                            "Runtime Test", "--out", (d / "kit2").string()});
    ASSERT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(again.output.find("Preparing the installer's runtime"), std::string::npos) << again.output;
    EXPECT_EQ(testsupport::readFile(stamp), good);
    EXPECT_TRUE(runtimeProblems((d / "kit2").string()).empty());

    // A library taken away is named by the check and by --verify.
    fs::remove(kit / "runtime/libopenmpt.so.0");
    const std::vector<std::string> problems = runtimeProblems(kit.string());
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [](const std::string& p) {
        return p.find("libopenmpt.so.0") != std::string::npos;
    })) << joined(problems);
    const ProgramResult broken = runProgram({kBin + "/kitmaker", "--verify", kit.string()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.output.find("libopenmpt.so.0"), std::string::npos) << broken.output;
}

// What a publisher's script sees: a clear error naming the path, a non-zero exit status, no kit.
TEST(KitmakerProgram, BadInputEndsWithAnErrorNamingThePath) {
    testsupport::ScratchDir d;
    const fs::path p = d / "product";
    fs::create_directories(p);
    std::ofstream(p / "fine.txt") << "ok";
    std::ofstream(p / "bad\nname.txt") << "x";
    const std::string kitmaker = kBin + "/kitmaker";
    ProgramResult r =
        runProgram({kitmaker, "--from", p.string(), "--name", "X", "--out", (d / "kit").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find((p / "bad\\nname.txt").string() + ": cannot be installed"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(d / "kit"));

    fs::remove(p / "bad\nname.txt");
    r = runProgram({kitmaker, "--from", p.string(), "--name", "X", "--out", (p / "kit").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("lies inside the product folder"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(p / "kit"));

    r = runProgram({kitmaker, "--from", p.string(), "--name", "X", "--out", (d / "kit").string(),
                    "--volume-size", "1.44M"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.output.find("--volume-size 1.44M: not a size"), std::string::npos) << r.output;
    r = runProgram({kitmaker, "--verify", (d / "nothing").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("is not a folder"), std::string::npos) << r.output;
    r = runProgram({kitmaker, "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("--volume-size SIZE"), std::string::npos);
}
