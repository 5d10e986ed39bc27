// The texture library file (qxmagic.smp) as the frame filter reads it: the whole input is the
// file. It goes through the checked reader (tv32TextureLibraryRead), the image list made from it
// (tv32LoadIIO with the filter's item store behind its data callback), the list's commands, and
// texture objects taken from its items and drawn, as the filter's pickers do. Checks: the reader
// hands out no more items than it counts, and nothing stays allocated afterwards.
#include "texturelib.h"

#include "imagelib/tv32base.h"
#include "imagelib/tv32clips.h"
#include "imagelib/tv32txlib.h"
#include "imagelib/tv32txtur.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "texlib fuzzer: %s\n", what);
    std::abort();
}

std::string gFolder, gPath;

int countItem(void* context, int32_t, int32_t, const void*, int32_t length, const uint8_t* thumb, int32_t w,
              int32_t h) {
    if (length < 0 || !thumb || w <= 0 || h <= 0) finding("item handed out with a bad length or thumbnail");
    ++*static_cast<int32_t*>(context);
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/texlib_fuzzer_XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    gFolder = std::string(folder) + "/";
    gPath = gFolder + "qxmagic.smp";
    borderfx::SetLibraryFolder(gFolder);
    setenv("KIT_DESKTOP_LOG", "/dev/null", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(gPath.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    const int32_t buffers = buf32CountLive(), textures = tv32TextureCountLive();

    int32_t handed = 0;
    const int32_t count = tv32TextureLibraryRead(gPath.c_str(), countItem, &handed);
    if (count < -1 || (count >= 0 && handed != count) || (count < 0 && handed != 0))
        finding("items handed out do not match the count");

    // The filter's own road: the list with its item store, then textures from its items.
    borderfx::ReleaseTextureLibrary();
    if (void* list = borderfx::LoadTextureLibrary(borderfx::BuildLibraryPath())) {
        const int32_t items = tv32IIOAction(list, TV32_IIO_COUNT, 0, nullptr);
        if (items != count) finding("the list holds another number of items than the file");
        TV32IIOTHUMBSIZE thumb{};
        tv32IIOAction(list, TV32_IIO_THUMB_SIZE, 0, &thumb);
        for (int32_t n : {-1, 0, 1, 2, 3, items, items + 1, 0x1FFFFFF0}) {
            TV32IIINFO info{};
            tv32IIAction(list, TV32_II_GET_INFO, n, &info);
            tv32IIOItemData(list, n, nullptr);
            void* texture = nullptr;
            if (borderfx::LoadLibraryTexture(list, n, &texture)) {
                TV32HBUF picture = 0;
                if (tv32GenerateTexture(2, 0, texture, 7, 5, 0, &picture, 0, 0, nullptr)) buf32Free(picture);
                tv32TextureDataFree(texture);
            }
            void* ensured = nullptr;
            borderfx::EnsureTexture(n, &ensured);
            tv32TextureDataFree(ensured);
        }
        int32_t pick = 2;
        TV32IIOSELECTION sel{1, &pick};
        tv32IIOAction(list, TV32_IIO_SELECT, 0, &sel);
        tv32IIOAction(list, TV32_IIO_SELECTED, 0, &sel);
    }
    borderfx::ReleaseTextureLibrary();
    if (void* bare = tv32LoadIIO(gPath.c_str(), nullptr)) tv32DestroyIIO(bare);

    if (buf32CountLive() != buffers || tv32TextureCountLive() != textures) finding("objects left behind");
    return 0;
}
