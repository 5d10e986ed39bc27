// Link safety as a property: a list of files, folders, symbolic and hard links made from the input is
// written by the project's RAR writer and extracted. Whatever the list, every path below the
// destination must resolve inside it, and nothing beside it may change (the host's file there
// keeps its bytes).
// Input: see rar_links.h.
#include "rar_links.h"
#include "rar_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rarfuzz;
    const Sandbox box("links");
    try {
        const auto entries = rarlinks::entries(data, size);
        kitmaker::RarWriteOptions o;
        o.format = rarlinks::format(entries);
        kitmaker::writeRar((box.dir / "links").string(), entries, o);
    } catch (const std::exception&) {
        return 0; // a list the writer cannot store
    }
    extract(box.dir / "links.rar", box.dest(), giveUp, false);
    box.check({"links.rar"});
    return 0;
}
