// Link safety as a property: a list of files, folders, symbolic and hard links made from the input is
// written by the project's RAR writer and extracted. Whatever the list, every path below the
// destination must resolve inside it, and nothing beside it may change (the host's file there
// keeps its bytes).
// Input: see rar_links.h.
#include "rar_links.h"
#include "rar_support.h"

#include <cstdint>

namespace {

int PASCAL giveUp(char*, int mode) {
    return mode == RAR_VOL_NOTIFY ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rarfuzz;
    const fs::path dir = scratch() / "links";
    empty(dir);
    fs::create_directories(dir / "beside");
    writeBytes(dir / "beside/canary", "host file");
    fs::create_directories(dir / "dest");
    const std::vector<std::string> before = listing(dir);
    try {
        const auto entries = rarlinks::entries(data, size);
        kitmaker::RarWriteOptions o;
        o.format = rarlinks::format(entries);
        kitmaker::writeRar((dir / "links").string(), entries, o);
    } catch (const std::exception&) {
        return 0; // a list the writer cannot store
    }
    extract(dir / "links.rar", dir / "dest", giveUp, false);
    checkTree(dir / "dest");
    std::vector<std::string> after;
    for (const std::string& n : listing(dir))
        if (n.rfind("dest/", 0) != 0 && n != "links.rar") after.push_back(n);
    if (after != before) fail("something was written beside the destination");
    std::ifstream canary(dir / "beside/canary", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(canary)), std::istreambuf_iterator<char>());
    if (text != "host file") fail("the host's file beside the destination changed");
    return 0;
}
