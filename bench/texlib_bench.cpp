// Loading the texture library file as the frame filter does (checked read, every item's data into
// the item store, thumbnails kept), against a plain fill of as many bytes as the thumbnails hold,
// the floor of putting them in memory. Prints the time per load (wall clock and the thread's own
// CPU time) and the ratio to the fill. The file: the argument, else qxmagic.smp beside this program.
//   texlib_bench [LIBRARY.smp]
#include "benchtime.h"

#include "texturelib.h"

#include "imagelib/imagelib.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

using bench::perCall;
using bench::Times;

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : std::string(KIT_BIN_DIR "/qxmagic.smp");
    void* list = borderfx::LoadTextureLibrary(path);
    if (!list) {
        std::fprintf(stderr, "cannot load %s\n", path.c_str());
        return 1;
    }
    TV32IIOTHUMBSIZE size{};
    tv32IIOAction(list, TV32_IIO_THUMB_SIZE, 0, &size);
    const int32_t items = tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr);
    borderfx::ReleaseTextureLibrary();
    const std::size_t bytes = std::size_t(items) * std::size_t(size.width) * std::size_t(size.height) * 3;
    const int reps = 50;
    const Times load = perCall(reps, [&] {
        if (!borderfx::LoadTextureLibrary(path)) std::abort();
        borderfx::ReleaseTextureLibrary();
    });
    std::vector<unsigned char> block;
    const Times fill = perCall(reps, [&] {
        block.assign(bytes, 0);
        std::memset(block.data(), 0xC0, bytes);
    });
    std::printf("library %s: %d items, thumbnails %dx%d (%zu bytes)\n", path.c_str(), items, size.width,
                size.height, bytes);
    std::printf("load + release: %.3f ms wall, %.3f ms cpu (target < 50 ms)\n", load.wall, load.cpu);
    std::printf("plain fill of the thumbnail bytes: %.3f ms wall, %.3f ms cpu\n", fill.wall, fill.cpu);
    std::printf("ratio load / fill: %.1f (cpu %.1f)\n", load.wall / fill.wall, load.cpu / fill.cpu);
    return 0;
}
