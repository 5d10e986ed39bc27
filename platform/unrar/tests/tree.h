#pragma once
// Test helpers: a folder tree described as a manifest ("file PATH SIZE SHA256", "dir PATH",
// "link PATH -> TARGET", sorted), scratch folders, and the shared fixtures folder.
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

std::string sha256Hex(const std::string& bytes);
// The name of an archive interface result code ("ERAR_ECREATE"), for readable expectations.
std::string rarCodeName(int code);

// `n` bytes that do not compress (xorshift), different for each seed.
std::string pattern(size_t n, unsigned seed = 0);
std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);
// The symbolic links below `root` whose target resolves outside it (the existing part of the path
// as the system resolves it, the rest as written); loops are left out (they lead nowhere).
std::vector<std::string> linksLeavingTree(const std::filesystem::path& root);
// The manifest lines of everything below `root`, sorted.
std::vector<std::string> treeManifest(const std::filesystem::path& root);
// The lines of a manifest file.
std::vector<std::string> readManifest(const std::filesystem::path& p);
// The fixtures of RAR archives, or an empty path when they are not there.
std::filesystem::path rarFixtures();

// A memory file system's folder for scratch files when there is one (faster), else the temporary folder.
std::filesystem::path fastTempDir();

// A fresh folder removed with everything in it at the end of the scope (below `base`, by default the
// temporary folder).
class ScratchDir {
  public:
    explicit ScratchDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& s) const { return path_ / s; }

  private:
    std::filesystem::path path_;
};

} // namespace testsupport
