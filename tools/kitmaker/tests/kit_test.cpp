// kitmaker as a publisher uses it: the product folder it accepts and refuses, the install.ini it
// writes (read back by the installer's own reader), the volumes at every boundary, the checks of
// --verify, and what is left after a failure.
#include "cli.h"
#include "kitbuild.h"
#include "kitverify.h"
#include "modwriter.h"
#include "names.h"
#include "product.h"
#include "progress.h"
#include "sample.h"
#include "sizes.h"
#include "tree.h"

#include "framework/settings.h"
#include "setup/silentinstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kitmaker;
using testsupport::ScratchDir;

namespace {

void put(const fs::path& p, const std::string& bytes, fs::perms perms = fs::perms(0644)) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    fs::permissions(p, perms);
}

std::string noise(std::size_t n, std::uint32_t seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = static_cast<char>(seed >> 24);
    }
    return s;
}

bool mentions(const std::vector<std::string>& lines, const std::string& what) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(what) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

KitOptions options(const fs::path& from, const fs::path& out) {
    KitOptions o;
    o.from = from.string();
    o.out = out.string();
    o.name = "Test Product";
    return o;
}

VerifyReport verifyWithoutRuntime(const fs::path& kit, bool music = true) {
    return verifyKit(kit.string(), {false, music}, nullptr);
}

// Installs the kit's archive through the installer's unattended mode; "" when it worked.
std::string install(const fs::path& kit, const fs::path& target) {
    std::ostringstream out, err;
    const int rc = RunSilentInstall((kit / "").string(), target.string(), out, err);
    return rc == 0 ? std::string() : err.str() + "(exit " + std::to_string(rc) + ")";
}

// The error a build of `o` stops with ("" when it succeeds).
std::string buildError(const KitOptions& o) {
    try {
        buildKit(o, nullptr);
    } catch (const KitError& e) {
        return e.what();
    }
    return {};
}

std::vector<std::string> volumeFiles(const fs::path& kit) {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(kit))
        if (e.path().extension() == ".rar" || e.path().filename().string().find(".r0") != std::string::npos)
            v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(KitValues, SizesAcceptSuffixesAndRefuseTheRest) {
    EXPECT_EQ(parseSize("1440K"), 1474560u);
    EXPECT_EQ(parseSize("700M"), 700ull << 20);
    EXPECT_EQ(parseSize("2g"), 2ull << 30);
    EXPECT_EQ(parseSize("4GiB"), 4ull << 30);
    EXPECT_EQ(parseSize("1MB"), 1ull << 20);
    EXPECT_EQ(parseSize("65536"), 65536u);
    for (const char* bad : {"", "K", "0", "0K", "1.5M", "-1", "12X", "1KK", "1 K", "99999999999999999999",
                            "5000000000G", "4611686018427387905"})
        EXPECT_FALSE(parseSize(bad)) << bad;

    EXPECT_EQ(requiredMegabytes(0), 1u);
    EXPECT_EQ(requiredMegabytes(1), 1u);
    EXPECT_EQ(requiredMegabytes(1 << 20), 1u);
    EXPECT_EQ(requiredMegabytes((1 << 20) + 1), 2u);
    EXPECT_EQ(requiredMegabytes(5ull << 40), 5ull << 20); // 5 TiB: no overflow
    EXPECT_EQ(allocatedBytes(0), 0u);
    EXPECT_EQ(allocatedBytes(1), 4096u);
    EXPECT_EQ(allocatedBytes(4096), 4096u);
    EXPECT_EQ(allocatedBytes(4097), 8192u);
}

TEST(KitValues, InstallIniReadsBackExactlyThroughTheInstallersReader) {
    // Values whose blanks or quotes the reader would otherwise drop.
    for (const std::string v : {"plain", " lead", "trail ", "\"q\"", "'s'", "a \"b\" c", "Ünïcødé ☃", ""}) {
        IniValues values{v, "12", v, "x.rar", "x.nfo", "NONE", v, "1"};
        ScratchDir d;
        put(d / "install.ini", installIni(values));
        TInstallSettings s;
        ReadInstallSettings(s, (d / "install.ini").string(), (d / "").string());
        EXPECT_EQ(s.AppName, v);
        EXPECT_EQ(s.DefaultDir, v);
        EXPECT_EQ(s.ScrollLine, v);
        EXPECT_EQ(s.RequiredSize, "12");
        EXPECT_EQ(s.OpenAfterFile, "NONE");
    }
    EXPECT_EQ(iniTextProblem(std::string(250, 'a')), "");
    EXPECT_NE(iniTextProblem(std::string(251, 'a')), "");
    EXPECT_NE(iniTextProblem("two\nlines"), "");
    EXPECT_NE(iniTextProblem("tab\there"), "");
    EXPECT_NE(iniTextProblem("bad \xff byte"), "");

    EXPECT_EQ(archiveBaseFor("Halcyon Demo Product v1.0"), "halcyondemoproductv10");
    EXPECT_EQ(archiveBaseFor("日本語"), "product");
    EXPECT_EQ(defaultDirFor(" My Game: Director's Cut / 2 "), "My Game Director's Cut  2");
    EXPECT_EQ(defaultDirFor("???"), "product");
    EXPECT_EQ(toOem("Café ░▒▓ €"), "Caf\x82 \xB0\xB1\xB2 ?");
}

TEST(KitValues, NamesThatCannotTravelAreShownEscaped) {
    EXPECT_EQ(nameProblem("ok name.txt"), "");
    EXPECT_EQ(nameProblem("日本語.txt"), "");
    EXPECT_NE(nameProblem("a\nb"), "");
    EXPECT_NE(nameProblem("a\\b"), "");
    EXPECT_NE(nameProblem("\xff\xfe"), "");
    EXPECT_NE(nameProblem(".."), "");
    EXPECT_NE(nameProblem(std::string(256, 'x')), "");
    EXPECT_NE(pathProblem("/etc/passwd"), "");
    EXPECT_NE(pathProblem("a/../../b"), "");
    EXPECT_EQ(pathProblem("a/b/c"), "");
    EXPECT_EQ(printableName("a\nb\\c\xff"
                            "d é"),
              "a\\nb\\\\c\\xffd é");
}

TEST(KitValues, ProgressBarNeverOverflows) {
    EXPECT_EQ(progressBar(0, 100, 10), "[..........]   0%  0 bytes of 100 bytes");
    EXPECT_EQ(progressBar(50, 100, 10), "[#####.....]  50%  50 bytes of 100 bytes");
    EXPECT_EQ(progressBar(200, 100, 10), "[##########] 100%  100 bytes of 100 bytes");
    EXPECT_EQ(progressBar(1ull << 63, UINT64_MAX, 4).substr(0, 11), "[##..]  50%");
    std::ostringstream lines;
    {
        Progress p(lines, false);
        p.begin("Writing", 1000);
        for (std::uint64_t i = 0; i <= 1000; ++i)
            p.update(i);
        p.end();
    }
    // A start line, one per tenth from 10% to 90%, and the end.
    const std::string text = lines.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11) << text;
}

TEST(KitCommandLine, ParsesEveryOptionAndRefusesNonsense) {
    const char* argv[] = {"kitmaker", "--from", "p",        "--name=My Game", "--out",
                          "k",        "--dir",  "Games",    "--volume-size",  "1440K",
                          "--naming", "old",    "--format", "rar4",           "--music",
                          "m.xm",     "--info", "i.nfo",    "--readme",       "NONE",
                          "--scroll", "hello",  "--force"};
    const Command c = parseCommand(static_cast<int>(std::size(argv)), argv);
    ASSERT_EQ(c.mode, Command::Mode::build) << c.problem;
    EXPECT_EQ(c.kit.from, "p");
    EXPECT_EQ(c.kit.name, "My Game");
    EXPECT_EQ(c.kit.volumeSize, 1474560u);
    EXPECT_TRUE(c.kit.oldNaming && !c.kit.rar5 && c.kit.force);
    EXPECT_EQ(c.kit.readme, "NONE");
    EXPECT_EQ(c.kit.scroll, "hello");

    auto mode = [](std::vector<const char*> args) {
        args.insert(args.begin(), "kitmaker");
        return parseCommand(static_cast<int>(args.size()), args.data()).mode;
    };
    EXPECT_EQ(mode({"--verify", "k"}), Command::Mode::verify);
    EXPECT_EQ(mode({"--demo", "--out", "k"}), Command::Mode::demo);
    EXPECT_EQ(mode({"--help"}), Command::Mode::help);
    EXPECT_EQ(mode({"--sample-product", "d"}), Command::Mode::sampleProduct);
    for (const std::vector<const char*>& bad : std::vector<std::vector<const char*>>{
             {},
             {"--from", "p", "--out", "k"},           // no name
             {"--from", "p", "--name", "n"},          // no kit folder
             {"--from", "p", "--name", "n", "--out"}, // value missing
             {"--from", "p", "--name", "n", "--out", "k", "--volume-size", "1.44M"},
             {"--from", "p", "--name", "n", "--out", "k", "--volume-size", "63K"},
             {"--from", "p", "--name", "n", "--out", "k", "--naming", "new"},
             {"--from", "p", "--name", "n", "--out", "k", "--force=yes"},
             {"--from", "p", "--name", "n", "--out", "k", "--bogus"},
             {"--verify", "k", "--from", "p"},
             {"--verify", "k", "--out", "x"}})
        EXPECT_EQ(mode(bad), Command::Mode::invalid);
    // The help names every option the parser takes.
    for (const char* option : {"--from", "--name", "--out", "--dir", "--volume-size", "--naming", "--format",
                               "--music", "--info", "--readme", "--scroll", "--force", "--verify", "--demo",
                               "--archive", "--installer", "--sample-product"})
        EXPECT_NE(std::string(kKitmakerHelp).find(option), std::string::npos) << option;
}

TEST(ProductFolder, ReadsFilesFoldersLinksAndHardLinksInOrder) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "b.txt", "bee");
    put(p / "a/empty", "");
    put(p / "a/deep/er/x.bin", noise(5000, 1), fs::perms(0755));
    put(p / "données/日本語.txt", "名前");
    fs::create_symlink("deep/er/x.bin", p / "a/link");
    fs::create_symlink("..", p / "a/up");
    fs::create_symlink("gone.txt", p / "dangling");
    fs::create_hard_link(p / "b.txt", p / "c.txt");
    const ProductScan s = scanProduct(p.string());
    ASSERT_TRUE(s.problems.empty()) << joined(s.problems);
    std::vector<std::string> order;
    for (const ProductEntry& e : s.entries)
        order.push_back(e.path);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "a/deep", "a/deep/er", "a/deep/er/x.bin", "a/empty",
                                               "a/link", "a/up", "b.txt", "c.txt", "dangling", "données",
                                               "données/日本語.txt"}));
    EXPECT_EQ(s.entries[3].mode, 0755u);
    EXPECT_EQ(s.entries[3].size, 5000u);
    EXPECT_EQ(s.entries[5].kind, ProductEntry::Kind::symlink);
    EXPECT_EQ(s.entries[5].target, "deep/er/x.bin");
    EXPECT_EQ(s.entries[8].kind, ProductEntry::Kind::hardlink);
    EXPECT_EQ(s.entries[8].target, "b.txt");
    EXPECT_EQ(s.files, 4u); // the second name of b.txt is a link
    EXPECT_EQ(s.fileBytes, 3u + 5000u + 6u);
    // 4 folders of one block, files in whole blocks: 3 B -> 4 KiB, 5000 B -> 8 KiB, 6 B -> 4 KiB.
    EXPECT_EQ(s.requiredBytes, 4 * 4096u + 4096u + 8192u + 4096u);
}

// The same folder through a kit in both formats: links stay links, the second name of a file stays a
// hard link (RAR 5) or becomes a copy (RAR 4), modes and times come back as on disk.
TEST(ProductFolder, TravelsWithLinksModesAndTimes) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "b.txt", "bee");
    put(p / "tool", "#!/bin/sh\n", fs::perms(0750));
    put(p / "a/deep/x.bin", noise(70000, 2));
    fs::create_symlink("deep/x.bin", p / "a/link");
    fs::create_symlink("..", p / "a/up");
    fs::create_hard_link(p / "b.txt", p / "c.txt");
    const auto when =
        fs::file_time_type::clock::now() - std::chrono::hours(24 * 400) + std::chrono::seconds(1);
    fs::last_write_time(p / "a/deep/x.bin", when);
    for (const bool rar5 : {true, false}) {
        const fs::path kit = d / (rar5 ? "kit5" : "kit4"), target = d / (rar5 ? "t5" : "t4");
        KitOptions o = options(p, kit);
        o.rar5 = rar5;
        o.volumeSize = 32 * 1024;
        buildKit(o, nullptr);
        ASSERT_EQ(install(kit, target), "");
        EXPECT_EQ(testsupport::treeManifest(target), testsupport::treeManifest(p));
        EXPECT_EQ(fs::status(target / "tool").permissions(), fs::perms(0750));
        EXPECT_EQ(fs::equivalent(target / "b.txt", target / "c.txt"), rar5);
        const auto drift =
            fs::last_write_time(target / "a/deep/x.bin") - fs::last_write_time(p / "a/deep/x.bin");
        EXPECT_LE(std::chrono::abs(drift), rar5 ? std::chrono::seconds(1) : std::chrono::seconds(2));
    }
}

TEST(ProductFolder, RefusesLinksThatLeaveItAndLinkLoops) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "sub/file", "x");
    put(d / "secret", "outside");
    fs::create_symlink("/etc/passwd", p / "absolute");
    fs::create_symlink("../secret", p / "parent");
    fs::create_symlink("../../secret", p / "sub/grandparent");
    fs::create_symlink("sub/../../secret", p / "wander");
    fs::create_symlink(".", p / "self");
    fs::create_symlink("self/../secret", p / "chain"); // through a link to the folder itself, then up
    fs::create_symlink("loop2", p / "loop1");
    fs::create_symlink("loop1", p / "loop2");
    fs::create_symlink("me", p / "me");
    fs::create_symlink("..", p / "sub/up");
    fs::create_symlink("sub/up/../secret", p / "viaup");
    const ProductScan s = scanProduct(p.string());
    for (const char* bad :
         {"absolute", "parent", "sub/grandparent", "wander", "chain", "loop1", "loop2", "me", "viaup"})
        EXPECT_TRUE(mentions(s.problems, (p / bad).string() + ":")) << bad << "\n" << joined(s.problems);
    EXPECT_TRUE(mentions(s.problems, "loop")) << joined(s.problems);
    EXPECT_FALSE(mentions(s.problems, (p / "self").string() + ":"));
    EXPECT_FALSE(mentions(s.problems, (p / "sub/up").string() + ":"));
    EXPECT_EQ(s.problems.size(), 9u) << joined(s.problems);
    for (const char* loop : {"loop1", "loop2", "me"}) // the scratch folder's clean-up stats what it removes
        fs::remove(p / loop);
}

TEST(ProductFolder, RefusesNamesDevicesAndUnreadableFilesNamingEachPath) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "fine.txt", "ok");
    put(p / "two\nlines.txt", "x");
    put(p / std::string("latin1-caf\xe9.txt"), "x");
    put(p / "back\\slash", "x");
    ASSERT_EQ(::mkfifo((p / "pipe").c_str(), 0644), 0);
    const ProductScan s = scanProduct(p.string());
    EXPECT_TRUE(mentions(s.problems, "two\\nlines.txt: cannot be installed: a newline"))
        << joined(s.problems);
    EXPECT_TRUE(
        mentions(s.problems, "latin1-caf\\xe9.txt: cannot be installed: a name that is not valid UTF-8"));
    EXPECT_TRUE(mentions(s.problems, "back\\\\slash: cannot be installed: a backslash"));
    EXPECT_TRUE(mentions(s.problems, "/pipe: is not a file, folder or symbolic link"));
    EXPECT_EQ(s.problems.size(), 4u) << joined(s.problems);
    EXPECT_FALSE(scanProduct((d / "nothing").string()).problems.empty());
    fs::create_directories(d / "empty");
    EXPECT_TRUE(mentions(scanProduct((d / "empty").string()).problems, "is empty"));
}

// Runs `f` in a child process without root's right to read everything; returns its exit code.
template <class F> int unprivileged(F f) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(99);
        ::_exit(f());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

TEST(ProductFolder, UnreadableFilesAndFoldersAreProblems) {
    ScratchDir d;
    fs::permissions(d.path(), fs::perms(0755));
    const fs::path p = d / "product";
    put(p / "ok.txt", "x");
    put(p / "locked.txt", "secret", fs::perms(0));
    put(p / "closed/inner.txt", "x");
    fs::permissions(p / "closed", fs::perms(0));
    fs::permissions(p, fs::perms(0755));
    const int rc = unprivileged([&] {
        const ProductScan s = scanProduct(p.string());
        const bool named =
            mentions(s.problems, (p / "locked.txt").string() + ": cannot be read: Permission denied") &&
            mentions(s.problems, (p / "closed").string() + ": cannot be read: Permission denied");
        return named && s.problems.size() == 2 ? 0 : 1;
    });
    fs::permissions(p / "closed", fs::perms(0755));
    EXPECT_EQ(rc, 0);
}

TEST(KitBuild, WritesEveryKeyAndInstallsAnExactCopy) {
    ScratchDir d;
    const fs::path p = d / "product";
    writeSampleProduct(p.string());
    put(d / "music.mod", modFileBytes(composeBlipSong()));
    put(d / "my info.nfo", "INFO\r\n");
    KitOptions o = options(p, d / "kit");
    o.name = "  Ünïcode \"Game\"  ";
    o.volumeSize = 1440 * 1024;
    o.music = (d / "music.mod").string();
    o.info = (d / "my info.nfo").string();
    o.readme = "NONE";
    o.scroll = "scroll: ☃";
    const KitSummary sum = buildKit(o, nullptr);

    TInstallSettings s;
    ReadInstallSettings(s, (d / "kit/install.ini").string(), (d / "kit/").string());
    EXPECT_EQ(s.AppName, o.name);
    EXPECT_EQ(s.RequiredSize, std::to_string(requiredMegabytes(scanProduct(p.string()).requiredBytes)));
    EXPECT_EQ(s.DefaultDir, "Ünïcode Game");
    EXPECT_EQ(s.ArchiveFile, "ncodegame.part1.rar");
    EXPECT_EQ(s.InfoFile, "my info.nfo");
    EXPECT_EQ(s.OpenAfterFile, "NONE");
    EXPECT_EQ(s.ScrollLine, "scroll: ☃");
    EXPECT_EQ(s.VolumeCount, std::to_string(volumeFiles(d / "kit").size()));
    EXPECT_EQ(sum.volumes.size(), 3u);
    EXPECT_EQ(testsupport::readFile(d / "kit/install.dat"), modFileBytes(composeBlipSong()));
    EXPECT_EQ(testsupport::readFile(d / "kit/my info.nfo"), "INFO\r\n");
    EXPECT_FALSE(fs::exists(d / "kit" / kUnfinishedMarker));

    const VerifyReport r = verifyWithoutRuntime(d / "kit");
    EXPECT_TRUE(r.ok()) << joined(r.problems);
    EXPECT_TRUE(r.warnings.empty()) << joined(r.warnings);
    EXPECT_EQ(r.volumes, 3u);

    ASSERT_EQ(install(d / "kit", d / "target"), "");
    EXPECT_EQ(testsupport::treeManifest(d / "target"), testsupport::treeManifest(p));
    // Modes as on disk.
    EXPECT_EQ(fs::status(d / "target/bin/start.sh").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
}

TEST(KitBuild, DefaultsMakeAWorkingKitAndForceReplacesTheOldOne) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "data.bin", noise(300000, 7));
    KitOptions o = options(p, d / "kit");
    o.volumeSize = 64 * 1024;
    o.oldNaming = true;
    buildKit(o, nullptr);
    const std::size_t many = volumeFiles(d / "kit").size();
    EXPECT_GE(many, 5u);
    EXPECT_TRUE(fs::exists(d / "kit/testproduct.rar") && fs::exists(d / "kit/testproduct.r00"));
    EXPECT_TRUE(verifyWithoutRuntime(d / "kit").ok());

    // Again into the same folder: refused without --force, and with it no volume of the old kit stays.
    o.volumeSize = 0;
    o.oldNaming = false;
    EXPECT_NE(buildError(o).find("is not empty (--force"), std::string::npos);
    EXPECT_EQ(volumeFiles(d / "kit").size(), many); // untouched
    o.force = true;
    buildKit(o, nullptr);
    EXPECT_EQ(volumeFiles(d / "kit"), std::vector<std::string>{(d / "kit/testproduct.rar").string()});
    const VerifyReport r = verifyWithoutRuntime(d / "kit");
    EXPECT_TRUE(r.ok() && r.warnings.empty()) << joined(r.problems) << joined(r.warnings);
    TInstallSettings s;
    ReadInstallSettings(s, (d / "kit/install.ini").string(), (d / "kit/").string());
    EXPECT_EQ(s.InfoFile, "testproduct.nfo");
    EXPECT_EQ(s.OpenAfterFile, "readme.txt");
    EXPECT_EQ(s.VolumeCount, "1");
    EXPECT_EQ(s.RequiredSize, "1");
    EXPECT_TRUE(fs::is_regular_file(d / "kit/testproduct.nfo") && fs::is_regular_file(d / "kit/readme.txt"));
}

TEST(KitBuild, RefusesBadFoldersAndOptionsWithoutWritingAnything) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "f.txt", "x");
    put(d / "full/something", "mine");
    put(d / "garbage.mod", "not a module at all");
    struct Case {
        std::string expect;
        KitOptions o;
    };
    std::vector<Case> cases;
    auto add = [&](std::string expect, auto change) {
        KitOptions o = options(p, d / "kit");
        change(o);
        cases.push_back({std::move(expect), o});
    };
    add("lies inside the product folder", [&](KitOptions& o) { o.out = (p / "kit").string(); });
    add("lies inside the product folder", [&](KitOptions& o) { o.out = (p / "a/b/../kit").string(); });
    add("lies inside the product folder", [&](KitOptions& o) { o.out = p.string(); });
    add("lies inside the kit folder", [&](KitOptions& o) {
        o.out = d.path().string();
        o.force = true;
    });
    add("is not empty (--force", [&](KitOptions& o) { o.out = (d / "full").string(); });
    add("holds no kit", [&](KitOptions& o) {
        o.out = (d / "full").string();
        o.force = true;
    });
    add("product name holds a line break", [&](KitOptions& o) { o.name = "two\nlines"; });
    add("product name is longer", [&](KitOptions& o) { o.name = std::string(251, 'n'); });
    add("--scroll", [&](KitOptions& o) { o.scroll = "bad \xff"; });
    add("--dir", [&](KitOptions& o) { o.defaultDir = "a/b"; });
    put(d / "install.ini", "not this one");
    add("the name of the settings", [&](KitOptions& o) { o.info = (d / "install.ini").string(); });
    add("--music", [&](KitOptions& o) { o.music = (d / "garbage.mod").string(); });
    add("--readme", [&](KitOptions& o) { o.readme = (d / "missing.txt").string(); });
    add("no product folder", [&](KitOptions& o) { o.from.clear(); });
    add("the product folder", [&](KitOptions& o) { o.from = (d / "missing").string(); });
    for (const Case& c : cases) {
        const std::string e = buildError(c.o);
        EXPECT_NE(e.find(c.expect), std::string::npos) << "expected \"" << c.expect << "\", got: " << e;
    }
    EXPECT_FALSE(fs::exists(d / "kit"));
    EXPECT_FALSE(fs::exists(p / "kit"));
    EXPECT_EQ(testsupport::readFile(d / "full/something"), "mine");

    // A product folder with problems: each named, nothing written.
    put(p / "bad\nname", "x");
    fs::create_symlink("../..", p / "escape");
    const std::string e = buildError(options(p, d / "kit"));
    EXPECT_NE(e.find("bad\\nname"), std::string::npos) << e;
    EXPECT_NE(e.find((p / "escape").string()), std::string::npos) << e;
    EXPECT_FALSE(fs::exists(d / "kit"));
}

TEST(KitBuild, AFullDiskLeavesNoKitBehind) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "big.bin", noise(3 << 20, 3));
    put(p / "small.txt", "x");
    for (const bool existing : {false, true}) {
        const fs::path kit = d / (existing ? "old" : "new");
        if (existing) {
            put(d / "other/x.txt", "an older kit of something else, to be replaced");
            buildKit(options(d / "other", kit), nullptr);
        }
        // Files may grow to 1 MiB only: the archive cannot be written, as on a full disk.
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            KitOptions o = options(p, kit);
            o.force = true;
            const std::string e = buildError(o);
            std::fprintf(stderr, "%s\n", e.c_str());
            ::_exit(e.find("File too large") != std::string::npos && e.find(kit.string()) != std::string::npos
                        ? 0
                        : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the error does not name the file and the cause";
        if (existing)
            EXPECT_TRUE(fs::is_directory(kit) && fs::is_empty(kit));
        else
            EXPECT_FALSE(fs::exists(kit));
        EXPECT_FALSE(verifyWithoutRuntime(kit).ok());
    }
}

// Ctrl+C while the volumes are written: the run ends at its next progress report and removes what
// it wrote.
TEST(KitBuild, AStopRequestLeavesNoKit) {
    ScratchDir d;
    put(d / "product/a.bin", noise(300000, 5));
    std::ostringstream log;
    Progress progress(log, false);
    requestStop();
    std::string error;
    try {
        buildKit(options(d / "product", d / "kit"), &progress);
    } catch (const KitError& e) {
        error = e.what();
    }
    requestStop(false);
    EXPECT_EQ(error, "interrupted");
    EXPECT_FALSE(fs::exists(d / "kit"));
}

// Volumes of every size around the point where a file stops fitting one volume: each volume stays
// within its size, FILES counts them, and every kit installs its file intact.
TEST(KitBuild, VolumesSplitCorrectlyAtEveryBoundary) {
    ScratchDir d;
    constexpr std::uint64_t kVolume = 16 * 1024;
    for (const bool rar5 : {true, false}) {
        std::size_t previous = 0, changes = 0;
        for (std::size_t n = kVolume - 140; n <= kVolume + 20; ++n) {
            const fs::path p = d / "p", kit = d / "kit";
            fs::remove_all(p);
            fs::remove_all(kit);
            put(p / "file.bin", noise(n, static_cast<std::uint32_t>(n)));
            put(p / "next.txt", "after the boundary");
            KitOptions o = options(p, kit);
            o.volumeSize = kVolume;
            o.readme = "NONE";
            o.rar5 = rar5;
            const KitSummary s = buildKit(o, nullptr);
            for (const std::string& v : s.volumes)
                ASSERT_LE(fs::file_size(v), kVolume) << v << " for a file of " << n;
            ASSERT_EQ(volumeFiles(kit).size(), s.volumes.size());
            changes += previous && previous != s.volumes.size();
            previous = s.volumes.size();
            const VerifyReport r = verifyWithoutRuntime(kit, false);
            ASSERT_TRUE(r.ok()) << "file of " << n << " bytes: " << joined(r.problems);
            ASSERT_EQ(r.volumes, s.volumes.size());
            ASSERT_EQ(install(kit, d / "t"), "") << n;
            ASSERT_EQ(testsupport::readFile(d / "t/file.bin").size(), n);
            ASSERT_EQ(testsupport::treeManifest(d / "t"), testsupport::treeManifest(p)) << n;
            fs::remove_all(d / "t");
        }
        EXPECT_GE(changes, 1u) << (rar5 ? "RAR 5" : "RAR 4"); // the range did cross a boundary
    }
}

TEST(KitVerify, NamesEveryBrokenPart) {
    ScratchDir d;
    const fs::path p = d / "product";
    put(p / "a.bin", noise(200000, 11));
    put(p / "b.txt", "bee");
    KitOptions o = options(p, d / "good");
    o.volumeSize = 64 * 1024;
    buildKit(o, nullptr);
    ASSERT_TRUE(verifyWithoutRuntime(d / "good").ok());

    struct Case {
        const char* expect;
        std::function<void(const fs::path&)> breakIt;
    };
    auto edit = [](const fs::path& ini, const std::string& from, const std::string& to) {
        std::string text = testsupport::readFile(ini);
        text.replace(text.find(from), from.size(), to);
        put(ini, text);
    };
    const std::vector<Case> cases = {
        {"testproduct.part2.rar is missing",
         [](const fs::path& k) { fs::remove(k / "testproduct.part2.rar"); }},
        {"testproduct.part4.rar is missing",
         [](const fs::path& k) { fs::remove(k / "testproduct.part4.rar"); }},
        {"cannot be opened", [](const fs::path& k) { fs::remove(k / "testproduct.part1.rar"); }},
        {"damaged",
         [](const fs::path& k) {
             std::fstream f(k / "testproduct.part2.rar", std::ios::in | std::ios::out | std::ios::binary);
             f.seekp(30000);
             f.put('\x5a');
         }},
        {"testproduct.part4.rar",
         [](const fs::path& k) { fs::resize_file(k / "testproduct.part4.rar", 1000); }},
        {"FILES is 3 but the archive has 4 volumes",
         [&](const fs::path& k) { edit(k / "install.ini", "FILES=4", "FILES=3"); }},
        {"FILES (three)", [&](const fs::path& k) { edit(k / "install.ini", "FILES=4", "FILES=three"); }},
        {"SIZE is 0 Mb but the archive needs 1 Mb",
         [&](const fs::path& k) { edit(k / "install.ini", "SIZE=1", "SIZE=0"); }},
        {"install.ini has no REG", [&](const fs::path& k) { edit(k / "install.ini", "REG=", "XREG="); }},
        {"the music", [](const fs::path& k) { put(k / "install.dat", "garbage"); }},
        {"the music", [](const fs::path& k) { fs::remove(k / "install.dat"); }},
        {"the info file", [](const fs::path& k) { fs::remove(k / "testproduct.nfo"); }},
        {"the follow-up file", [](const fs::path& k) { fs::remove(k / "readme.txt"); }},
        {"install.ini is missing", [](const fs::path& k) { fs::remove(k / "install.ini"); }},
        {"REG (../../../etc/passwd) lies outside the kit folder",
         [&](const fs::path& k) { edit(k / "install.ini", "REG=readme.txt", "REG=../../../etc/passwd"); }},
        {"unfinished", [](const fs::path& k) { put(k / kUnfinishedMarker, ""); }},
    };
    for (const Case& c : cases) {
        const fs::path k = d / "broken";
        fs::remove_all(k);
        fs::copy(d / "good", k, fs::copy_options::recursive);
        c.breakIt(k);
        const VerifyReport r = verifyWithoutRuntime(k);
        EXPECT_FALSE(r.ok()) << c.expect;
        EXPECT_TRUE(mentions(r.problems, c.expect)) << "expected \"" << c.expect << "\" in:\n"
                                                    << joined(r.problems);
    }
    // A stale volume of another kit beside the set is only a warning.
    const fs::path k = d / "stale";
    fs::copy(d / "good", k, fs::copy_options::recursive);
    fs::copy_file(k / "testproduct.part1.rar", k / "testproduct.part7.rar");
    const VerifyReport r = verifyWithoutRuntime(k);
    EXPECT_TRUE(r.ok()) << joined(r.problems);
    EXPECT_TRUE(mentions(r.warnings, "testproduct.part7.rar looks like a volume")) << joined(r.warnings);
}
