// Compiled for 32 bits (syntax only): the library's handles, Booleans and information record have
// the same sizes there as in the 64-bit build.
#include <midas/midas.h>

#include <cstddef>

static_assert(sizeof(BOOL) == 4);
static_assert(sizeof(DWORD) == 4);
static_assert(sizeof(MIDASmodule) == 4);
static_assert(sizeof(MIDASmodulePlayHandle) == 4);
static_assert(sizeof(MIDASmoduleInfo) == 64);
static_assert(offsetof(MIDASmoduleInfo, songLength) == 32);
static_assert(offsetof(MIDASmoduleInfo, durationMs) == 52);
static_assert(offsetof(MIDASmoduleInfo, formatName) == 56);
