#pragma once
// The demo distribution folder: what the installer finds beside itself.
#include "rarwriter.h"

#include <string>
#include <vector>

namespace kitmaker {

struct DemoKit {
    std::string productName = "Halcyon Demo Product v1.0";
    std::string requiredMb = "12";
    std::string defaultDir = "HalcyonDemo";
    std::string archiveFile = "demo.part1.rar";
    std::string infoFile = "halcyon.nfo";
    std::string openAfterFile = "readme.txt";
    std::string scrollLine =
        "Welcome to the Halcyon demo kit ... music, archives and text art made by kitmaker ... "
        "press Install Game to begin";
    std::string volumeCount = "3";
};

// The text of install.ini for `kit`: section OPTIONS with every key.
std::string installIniText(const DemoKit& kit);

// The info file: text art in the OEM code page (CP437 bytes: box lines, blocks, shading).
std::string infoFileBytes(const DemoKit& kit);

// The follow-up file opened after a completed installation.
std::string followUpText(const DemoKit& kit);

// Writes a whole byte string to `path` (replacing it). Throws std::runtime_error on failure.
void writeFile(const std::string& path, const std::string& bytes);

// Writes install.ini, the info file and the follow-up file of `kit` into `folder` (created if needed).
void writeKitTexts(const std::string& folder, const DemoKit& kit);

// Writes the music module install.dat (composed by kitmaker) into `folder`.
void writeKitMusic(const std::string& folder);

// What the demo product's archive holds: a few megabytes of sample content (texts, data files, the
// music, a start script, a folder link), deterministic from run to run.
std::vector<RarEntry> demoContent(const DemoKit& kit);

// Writes the demo archive into `folder` as a volume set of kit.volumeCount volumes named after
// kit.archiveFile ("demo.part1.rar" ...). Returns the volume paths.
std::vector<std::string> writeKitArchive(const std::string& folder, const DemoKit& kit);

// The whole demo kit: texts, music and archive.
void writeDemoKit(const std::string& folder, const DemoKit& kit);

} // namespace kitmaker
