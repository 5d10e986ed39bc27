// The records as a 32-bit build lays them out, byte for byte as the library publishes them.
#include "unrar/unrar.h"

#include <cstddef>

static_assert(sizeof(void*) == 4, "compiled with -m32");
static_assert(sizeof(RARHeaderData) == 572);
static_assert(offsetof(RARHeaderData, ArcName) == 0);
static_assert(offsetof(RARHeaderData, FileName) == 260);
static_assert(offsetof(RARHeaderData, Flags) == 520);
static_assert(offsetof(RARHeaderData, PackSize) == 524);
static_assert(offsetof(RARHeaderData, UnpSize) == 528);
static_assert(offsetof(RARHeaderData, HostOS) == 532);
static_assert(offsetof(RARHeaderData, FileCRC) == 536);
static_assert(offsetof(RARHeaderData, FileTime) == 540);
static_assert(offsetof(RARHeaderData, UnpVer) == 544);
static_assert(offsetof(RARHeaderData, Method) == 548);
static_assert(offsetof(RARHeaderData, FileAttr) == 552);
static_assert(offsetof(RARHeaderData, CmtBuf) == 556);
static_assert(offsetof(RARHeaderData, CmtBufSize) == 560);
static_assert(offsetof(RARHeaderData, CmtSize) == 564);
static_assert(offsetof(RARHeaderData, CmtState) == 568);
static_assert(sizeof(RAROpenArchiveData) == 28);
static_assert(offsetof(RAROpenArchiveData, OpenResult) == 8);
static_assert(offsetof(RAROpenArchiveData, CmtState) == 24);
