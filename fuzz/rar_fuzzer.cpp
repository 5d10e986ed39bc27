// The archive interface on one volume of any content: open, walk every header, test or extract each
// entry into a scratch folder, with a volume callback that gives up. Whatever the bytes, the library
// must neither crash nor hang, keep its answers consistent, and write nothing outside the
// destination (no link leading out of it, no part file left).
// Input: the bytes of the archive file.
#include "rar_support.h"

#include <cstdint>

namespace {

int PASCAL giveUp(char*, int mode) {
    return mode == RAR_VOL_NOTIFY ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rarfuzz;
    const fs::path dir = scratch() / "one";
    empty(dir);
    fs::create_directories(dir / "beside");
    writeBytes(dir / "beside/canary", "host file");
    writeBytes(dir / "in.rar", std::string_view(reinterpret_cast<const char*>(data), size));
    fs::create_directories(dir / "dest");
    const std::vector<std::string> before = listing(dir);

    const Outcome o = extract(dir / "in.rar", dir / "dest", giveUp, true);
    if (o.openResult == ERAR_SUCCESS && o.end == ERAR_SUCCESS) fail("the header loop ended with success");
    checkTree(dir / "dest");
    // Beside the destination nothing changed.
    std::vector<std::string> after;
    for (const std::string& n : listing(dir))
        if (n.rfind("dest/", 0) != 0) after.push_back(n);
    if (after != before) fail("something was written beside the destination");
    return 0;
}
