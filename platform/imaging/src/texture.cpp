// Texture generation. The texture library (texture data objects and their pictures) is not
// part of this build yet: no object can be made, so drawing fails cleanly and changes nothing.
#include "imagelib/tv32txtur.h"

extern "C" {

TV32_API int TV32_CALL tv32GenerateTexture(int32_t, int32_t, void*, int32_t, int32_t, int32_t, TV32HBUF*,
                                           int32_t, int32_t, void*) {
    return 0;
}

TV32_API int TV32_CALL tv32TextureDataFree(void*) {
    return 0;
}

} // extern "C"
