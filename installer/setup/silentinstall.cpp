#include "setup/silentinstall.h"

#include "desktop/services.h"
#include "framework/settings.h"
#include "setup/extractreport.h"
#include "setup/freespace.h"
#include "setup/rararc.h"
#include "setup/rarerrors.h"

#include <QString>

#include <cstring>
#include <filesystem>
#include <ostream>

const char* const kInstallUsage =
    "usage: install                      start the installer's windows\n"
    "       install --silent --dir DIR   install unattended into DIR (created if needed)\n"
    "       install --help               show this text\n"
    "The unattended mode reads install.ini beside the program like the windows do, prints each file\n"
    "as it is extracted, and exits with 0 only when every file was extracted.\n";

InstallCommand ParseInstallCommand(int argc, const char* const* argv) {
    InstallCommand c;
    bool silent = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            c.mode = InstallCommand::Mode::Help;
            return c;
        }
        if (std::strcmp(a, "--silent") == 0) {
            silent = true;
        } else if (std::strcmp(a, "--dir") == 0 && i + 1 < argc) {
            c.dir = argv[++i];
        } else if (std::strncmp(a, "--dir=", 6) == 0) {
            c.dir = a + 6;
        } else if (std::strncmp(a, "-", 1) == 0 && silent) {
            c.mode = InstallCommand::Mode::Invalid;
            c.problem = std::string("unknown option ") + a;
            return c;
        }
        // Other arguments are left to the toolkit (its -platform and similar options).
    }
    if (silent) {
        c.mode = c.dir.empty() ? InstallCommand::Mode::Invalid : InstallCommand::Mode::Silent;
        if (c.dir.empty()) c.problem = "--silent needs --dir DIR";
    } else if (!c.dir.empty()) {
        c.mode = InstallCommand::Mode::Invalid;
        c.problem = "--dir is only used with --silent";
    }
    return c;
}

int RunSilentInstall(const std::string& programFolder, const std::string& targetDir, std::ostream& out,
                     std::ostream& err) {
    TInstallSettings settings;
    settings.MusicPath = programFolder + "install.dat";
    ReadInstallSettings(settings, programFolder + "install.ini", programFolder);
    if (settings.ArchiveFile.empty()) {
        err << "install: no archive is configured (FILERAR in " << programFolder << "install.ini)\n";
        return 1;
    }

    std::error_code ec;
    std::filesystem::create_directories(targetDir, ec);
    if (ec || !std::filesystem::is_directory(targetDir)) {
        err << "install: cannot create the folder " << targetDir << (ec ? ": " + ec.message() : "") << "\n";
        return 1;
    }
    const std::string target = std::filesystem::absolute(targetDir).lexically_normal().string();

    // The free space is only advice here: the size in install.ini is an estimate.
    if (const auto freeBytes = desktop::freeSpace().bytesAvailable(QString::fromStdString(target))) {
        try {
            const int required = std::stoi(settings.RequiredSize);
            if (RoundedMegabytes(*freeBytes) <= required)
                err << "install: warning: " << FormatSize(static_cast<double>(*freeBytes)) << " free, "
                    << required << " Mb needed\n";
        } catch (const std::exception&) {
        }
    }

    TRAR rar;
    rar.ArchiveName = programFolder + settings.ArchiveFile;
    rar.TargetDir = target;
    TExtractReport report;
    report.Start(settings.ArchiveFile);
    std::string volumeNote;
    int files = 0;
    out << "Installing " << (settings.AppName.empty() ? std::string("the product") : settings.AppName)
        << " into " << target << "\n";
    rar.OnExtracting = [&](TRAR& r, RARHeaderData& h) {
        report.FileStarted(h);
        if (h.Flags & RHDF_DIRECTORY)
            out << "  " << h.FileName << "/ ... " << std::flush;
        else
            out << "  " << h.FileName << " (" << r.CurrentFileSize() << " bytes) ... " << std::flush;
    };
    rar.OnExtract = [&](TRAR&, RARHeaderData&, bool ok) {
        out << (ok ? "done" : "FAILED") << volumeNote << "\n";
        volumeNote.clear();
        if (ok) ++files;
    };
    rar.OnVolumeChange = [&](TRAR&, const char* name, int32_t mode) -> int32_t {
        report.Volume(name, mode);
        if (mode == RAR_VOL_ASK) return 0; // nobody is there to insert a disk
        volumeNote += " (continued in " + fmtNome(name) + ")";
        return 1;
    };
    rar.OnError = [&](TRAR& r, int32_t code) { report.Error(r, code); };
    report.Finished(rar.Extract());
    if (report.Failed()) {
        err << "install: installation failed: " << report.Failure() << "\n";
        return 1;
    }
    out << "Installed " << files << " entries into " << target << "\n";
    return 0;
}
