#include "cli.h"

#include "sizes.h"

#include <cstring>
#include <string_view>

namespace kitmaker {

const char* const kKitmakerHelp =
    "usage: kitmaker --from DIR --name TEXT --out KIT [options]   make the kit of a product\n"
    "       kitmaker --verify KIT                                   check a kit as the installer reads it\n"
    "       kitmaker --demo --out KIT                               make (or make again) the demo kit\n"
    "       kitmaker --sample-product DIR                           write the demo product to try kitmaker "
    "on\n"
    "\n"
    "Making a kit: everything in DIR (files, folders, symbolic links, with their modes and times) is\n"
    "packed into stored RAR volumes in KIT, beside install.ini, the music (install.dat), the info file,\n"
    "the follow-up file and the installer with its runtime. The kit then runs on a Linux desktop that\n"
    "has none of the build's libraries installed.\n"
    "\n"
    "  --from DIR             the product folder (links in it must stay inside it)\n"
    "  --name TEXT            the product's name (APPZ), shown on the installer's main window\n"
    "  --out KIT              the kit folder; it must be empty or not exist yet\n"
    "  --dir NAME             the folder offered for installing (DIR); default: made from the name\n"
    "  --volume-size SIZE     split the archive into volumes of at most SIZE bytes (64K or more); K, M\n"
    "                         and G suffixes (1024-based): 1440K, 700M, 4G; default: one volume\n"
    "  --naming part|old      volume names NAME.part1.rar ... (part, default) or NAME.rar, NAME.r00 ...\n"
    "  --format rar5|rar4     the archive format: rar5 (default) keeps times to the second and hard\n"
    "                         links; rar4 keeps times to two seconds and stores hard links as copies\n"
    "  --archive NAME         the volumes' base name; default: made from the product's name\n"
    "  --music FILE           the module (MOD, S3M, XM, IT ...) played while the installer runs;\n"
    "                         default: kitmaker's own tune\n"
    "  --info FILE            the info file (NFO), shown in the OEM code page (CP437); default: one\n"
    "                         made from the kit's facts\n"
    "  --readme FILE|NONE     the follow-up file opened after installing (REG), or NONE; default: a\n"
    "                         short thank-you text\n"
    "  --scroll TEXT          the scrolling line of the main window (SCRTXT)\n"
    "  --force                replace the kit that KIT already holds\n"
    "  --installer FILE       the installer program to ship; default: the one beside kitmaker\n"
    "\n"
    "SIZE in install.ini is computed from the content (4 KiB blocks, rounded up to whole megabytes);\n"
    "FILES is the number of volumes written. Progress goes to standard error: a bar on a terminal,\n"
    "a line per tenth otherwise. Exit status: 0 done, 1 a problem (named on standard error), 2 a\n"
    "wrong command line. --verify exits 0 only when the kit would install as it should.\n"
    "The publisher's guide is docs/publishing.md in the installer's source.\n";

namespace {

// Smaller volumes only make sets of thousands of files.
constexpr std::uint64_t kSmallestVolume = 64 * 1024;

Command invalid(std::string problem) {
    Command c;
    c.mode = Command::Mode::invalid;
    c.problem = std::move(problem);
    return c;
}

} // namespace

Command parseCommand(int argc, const char* const* argv) {
    Command c;
    bool from = false, demo = false, verify = false, sample = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
            value = std::string(arg.substr(eq + 1));
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto take = [&](std::string& into) {
            if (!hasValue) {
                if (i + 1 >= argc) return false;
                value = argv[++i];
            }
            into = value;
            return true;
        };
        auto flag = [&](bool& into) {
            into = true;
            return !hasValue;
        };
        std::string text;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            c.mode = Command::Mode::help;
            return c;
        } else if (arg == "--from") {
            ok = take(c.kit.from);
            from = true;
        } else if (arg == "--name") {
            ok = take(c.kit.name);
        } else if (arg == "--out") {
            ok = take(c.kit.out);
        } else if (arg == "--dir") {
            ok = take(c.kit.defaultDir);
        } else if (arg == "--archive") {
            ok = take(c.kit.archiveBase);
        } else if (arg == "--music") {
            ok = take(c.kit.music);
        } else if (arg == "--info") {
            ok = take(c.kit.info);
        } else if (arg == "--readme") {
            ok = take(c.kit.readme);
        } else if (arg == "--scroll") {
            ok = take(c.kit.scroll);
        } else if (arg == "--installer") {
            ok = take(c.kit.installer);
        } else if (arg == "--force") {
            ok = flag(c.kit.force);
        } else if (arg == "--demo") {
            ok = flag(demo);
        } else if (arg == "--verify") {
            ok = take(c.folder);
            verify = true;
        } else if (arg == "--sample-product") {
            ok = take(c.folder);
            sample = true;
        } else if (arg == "--volume-size") {
            ok = take(text);
            if (ok) {
                const auto size = parseSize(text);
                if (!size)
                    return invalid("--volume-size " + text + ": not a size (such as 1440K, 700M or 2G)");
                if (*size < kSmallestVolume)
                    return invalid("--volume-size " + text + ": volumes must hold at least 64K");
                c.kit.volumeSize = *size;
            }
        } else if (arg == "--naming") {
            ok = take(text);
            if (ok && text != "part" && text != "old")
                return invalid("--naming takes part or old, not " + text);
            c.kit.oldNaming = text == "old";

        } else if (arg == "--format") {
            ok = take(text);
            if (ok && text != "rar4" && text != "rar5")
                return invalid("--format takes rar4 or rar5, not " + text);
            c.kit.rar5 = text == "rar5";

        } else {
            return invalid("unknown argument " + std::string(arg));
        }
        if (!ok) return invalid(std::string(arg) + (hasValue ? " takes no value" : " needs a value"));
    }
    const int modes = int(from) + int(demo) + int(verify) + int(sample);
    if (modes == 0)
        return invalid("nothing to do: give --from DIR, --demo, --verify KIT or --sample-product DIR");
    if (modes > 1) return invalid("--from, --demo, --verify and --sample-product do not go together");
    if (verify || sample) {
        if (!c.kit.out.empty() || !c.kit.name.empty() || c.kit.force)
            return invalid(std::string(verify ? "--verify" : "--sample-product") + " takes only a folder");
        c.mode = verify ? Command::Mode::verify : Command::Mode::sampleProduct;
        return c;
    }
    if (c.kit.out.empty()) return invalid("no kit folder: give --out KIT");
    if (demo) {
        c.mode = Command::Mode::demo;
        return c;
    }
    if (c.kit.name.empty()) return invalid("no product name: give --name TEXT");
    c.mode = Command::Mode::build;
    return c;
}

} // namespace kitmaker
