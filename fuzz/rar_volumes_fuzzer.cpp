// Volume sets cut from one input, read with a volume callback that gives up. The oracle: a set that
// ends short never reports success. The set is read twice, whole and without its last volume; when
// the second run needed that volume (it asked for it and was refused) it must fail, and when it
// never needed it, both runs must end alike with the same files.
// Input: a byte whose low three bits are the number of volumes less one, a 32-bit little-endian
// length for every volume but the last (taken modulo what is left), then the bytes of the volumes.
#include "rar_support.h"

#include <cstdint>
#include <cstring>

namespace {

std::vector<std::string> asked;

int PASCAL recordAndGiveUp(char* name, int mode) {
    if (mode == RAR_VOL_ASK) asked.emplace_back(name);
    return mode == RAR_VOL_NOTIFY ? 1 : 0;
}

std::string volumeName(const rarfuzz::fs::path& dir, size_t i) {
    return (dir / ("set.part" + std::to_string(i + 1) + ".rar")).string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rarfuzz;
    if (size < 1) return 0;
    const size_t count = (data[0] & 7) + 1;
    size_t pos = 1;
    std::vector<std::string_view> volumes;
    std::vector<uint32_t> lengths;
    for (size_t i = 0; i + 1 < count; ++i) {
        uint32_t len = 0;
        if (size - pos >= 4) {
            std::memcpy(&len, data + pos, 4);
            pos += 4;
        }
        lengths.push_back(len);
    }
    const char* payload = reinterpret_cast<const char*>(data + pos);
    size_t left = size - pos;
    for (uint32_t len : lengths) {
        const size_t n = len % (left + 1);
        volumes.emplace_back(payload, n);
        payload += n;
        left -= n;
    }
    volumes.emplace_back(payload, left);

    const fs::path whole = scratch() / "whole", cut = scratch() / "cut";
    empty(whole);
    empty(cut);
    for (size_t i = 0; i < volumes.size(); ++i) {
        writeBytes(volumeName(whole, i), volumes[i]);
        if (i + 1 < volumes.size()) writeBytes(volumeName(cut, i), volumes[i]);
    }
    if (volumes.size() < 2) return 0;
    fs::create_directories(whole / "dest");
    fs::create_directories(cut / "dest");

    asked.clear();
    const Outcome a = extract(volumeName(whole, 0), whole / "dest", recordAndGiveUp, false);
    checkTree(whole / "dest");
    asked.clear();
    const Outcome b = extract(volumeName(cut, 0), cut / "dest", recordAndGiveUp, false);
    checkTree(cut / "dest");
    const std::string last = volumeName(cut, volumes.size() - 1);
    const bool neededLast = std::find(asked.begin(), asked.end(), last) != asked.end();
    if (neededLast && b.success()) fail("a set without its last volume reported success");
    if (!neededLast) {
        if (a.success() != b.success() || a.end != b.end || a.files != b.files)
            fail("the last volume was not needed, yet the runs ended differently");
        if (listing(whole / "dest") != listing(cut / "dest"))
            fail("the last volume was not needed, yet the runs made different files");
    }
    return 0;
}
