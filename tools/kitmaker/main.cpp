// kitmaker: makes the distribution folder (the kit) of a product, checks kits, and makes the demo kit.
#include "cli.h"
#include "kitbuild.h"
#include "kitverify.h"
#include "progress.h"
#include "sample.h"
#include "sizes.h"

#include <QLibraryInfo>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kitmaker;

namespace {

// The installer built beside this program.
std::string installerBesideMe() {
    std::error_code ec;
    const fs::path me = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("install") : (me.parent_path() / "install").string();
}

// "1 file", "2 files".
std::string count(std::uint64_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t'\"\\$`!*?&;|<>()") == std::string::npos) return arg;
    std::string q = "'";
    for (const char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int build(KitOptions options) {
    if (options.installer.empty()) options.installer = installerBesideMe();
    options.qtPluginFolder = QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString();
    Progress progress(std::cerr, stderrIsTerminal());
    const KitSummary s = buildKit(options, &progress);
    std::cout << "kitmaker: kit of " << options.name << " written to " << options.out << "\n"
              << "  " << count(s.files, "file") << ", " << count(s.folders, "folder") << ", "
              << count(s.links, "link") << ", " << formatBytes(s.contentBytes) << " (SIZE=" << s.requiredMb
              << ")\n"
              << "  " << s.volumes.size() << (s.volumes.size() == 1 ? " volume: " : " volumes: ")
              << fs::path(s.volumes.front()).filename().string()
              << (s.volumes.size() > 1 ? " ... " + fs::path(s.volumes.back()).filename().string() : "")
              << "\n"
              << "  the kit takes " << formatBytes(s.kitBytes) << ", of which the installer and its runtime "
              << formatBytes(s.runtimeBytes) << "\n";
    return 0;
}

int verify(const std::string& folder) {
    Progress progress(std::cerr, stderrIsTerminal());
    const VerifyReport r = verifyKit(folder, {}, &progress);
    for (const std::string& w : r.warnings)
        std::cerr << "kitmaker: warning: " << w << "\n";
    for (const std::string& p : r.problems)
        std::cerr << "kitmaker: problem: " << p << "\n";
    if (!r.ok()) {
        std::cerr << "kitmaker: " << folder << " is not a working kit (" << r.problems.size()
                  << (r.problems.size() == 1 ? " problem)\n" : " problems)\n");
        return 1;
    }
    std::cout << "kitmaker: " << folder << " is a working kit: " << r.entries << " entries, "
              << formatBytes(r.bytes) << " in " << r.volumes << (r.volumes == 1 ? " volume" : " volumes")
              << (r.warnings.empty() ? "" : ", with warnings") << "\n";
    return 0;
}

} // namespace

namespace {

void onSignal(int) {
    requestStop();
}

} // namespace

int main(int argc, char** argv) {
    // kitmaker only checks music, it never plays it.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    // Ctrl+C and the like end a run at its next progress report, which removes what it wrote.
    struct sigaction stop {};
    stop.sa_handler = onSignal;
    for (const int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &stop, nullptr);
    const Command c = parseCommand(argc, argv);
    try {
        switch (c.mode) {
        case Command::Mode::help:
            std::cout << kKitmakerHelp;
            return 0;
        case Command::Mode::invalid:
            std::cerr << "kitmaker: " << c.problem << "\n(kitmaker --help shows how to use it)\n";
            return 2;
        case Command::Mode::build:
            return build(c.kit);
        case Command::Mode::verify:
            return verify(c.folder);
        case Command::Mode::sampleProduct: {
            writeSampleProduct(c.folder);
            std::cout << "kitmaker: demo product written to " << c.folder << "; its kit is made with\n ";
            for (const std::string& a : commandLine(demoKitOptions(c.folder, "KIT")))
                std::cout << " " << quoted(a);
            std::cout << "\n";
            return 0;
        }
        case Command::Mode::demo: {
            // The demo product goes to a scratch folder beside the kit, and the kit is made from it as
            // from any product.
            const fs::path out = fs::absolute(c.kit.out);
            const fs::path product = out.parent_path() / (out.filename().string() + ".demo-product");
            std::error_code ec;
            fs::remove_all(product, ec);
            writeSampleProduct(product.string());
            KitOptions options = demoKitOptions(product.string(), out.string());
            options.force = true; // the demo kit is made again and again: an older one is replaced
            options.installer = c.kit.installer;
            int rc = 1;
            try {
                rc = build(options);
            } catch (...) {
                fs::remove_all(product, ec);
                throw;
            }
            fs::remove_all(product, ec);
            return rc;
        }
        }
    } catch (const std::exception& e) {
        std::cerr << "kitmaker: " << e.what() << "\n";
        return stopRequested() ? 130 : 1;
    }
    return 1;
}
