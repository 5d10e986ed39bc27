// The archive interface on one volume of any content: open, walk every header, test or extract each
// entry into a scratch folder, with a volume callback that gives up. Whatever the bytes, the library
// must neither crash nor hang, keep its answers consistent, and write nothing outside the
// destination (no link leading out of it, no part file left).
// Input: the bytes of the archive file.
#include "rar_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rarfuzz;
    const Sandbox box("one");
    writeBytes(box.dir / "in.rar", std::string_view(reinterpret_cast<const char*>(data), size));
    const Outcome o = extract(box.dir / "in.rar", box.dest(), giveUp, true);
    if (o.openResult == ERAR_SUCCESS && o.end == ERAR_SUCCESS) fail("the header loop ended with success");
    box.check({"in.rar"});
    return 0;
}
