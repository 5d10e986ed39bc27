// The texture library: the library file beside the plug-in (qxmagic.smp), the store of its
// items' data, and texture objects made from its items.
#pragma once
#include "imagelib/tv32clips.h"

#include <cstdint>
#include <string>

namespace borderfx {

// The data blocks of the loaded library's items, kept for the whole module. The data block holds
// at each item's offset {32-bit L, 32-bit value, L bytes}; offset 0 is never an item's (a fresh
// store starts at offset 1), so a zero table entry means "not stored".
struct ItemStore {
    int32_t count = 0;         // highest item number stored
    int32_t used = 0;          // bytes used in the data block
    int32_t tableCapacity = 0; // entries
    int32_t dataCapacity = 0;  // bytes
    int32_t* table = nullptr;
    uint8_t* data = nullptr;
};

ItemStore& TheItemStore();
// Empties the store for a new load and makes its blocks when they do not exist (count + 10
// entries, used + 512 bytes). Returns 0 when they cannot be made.
int StoreBegin(ItemStore& store);
// Stores item n's {L, value, L bytes}; growing the table to n + 5 entries and the data block by
// L + 520 bytes when needed. Storing an item again appends and points the table at the new entry.
// Returns 0 when nothing was stored (bad number or no memory).
int StoreItem(ItemStore& store, int32_t n, int32_t length, int32_t value, const void* bytes);
// Item n's entry (8-byte head and L bytes) copied to data, or measured when data is null:
// L + 8, or 0 when item n is not stored.
int32_t FetchItem(const ItemStore& store, int32_t n, void* data);
// Frees both blocks and clears every field.
void StoreFree(ItemStore& store);

// The image list's data callback: events 1 (size query), 2 (loading starts), 4 (fetch) and
// 5 (store).
int32_t TV32_CALL LibraryItemCallback(void* list, int32_t event, int32_t itemNumber, void* data);

// The library path: this module's folder followed by "qxmagic.smp"; BuildLibraryPath builds and
// remembers it, LibraryPath gives the one last built.
const std::string& BuildLibraryPath();
// The folder BuildLibraryPath uses instead of this module's (ending in '/'); empty: the module's.
// For tests and tools that keep a library elsewhere.
void SetLibraryFolder(const std::string& folder);
const std::string& LibraryPath();

// The loaded library, or null.
void* LoadedLibrary();
// Loads the library file at path unless one is loaded; a missing file shows message 505 with the
// path. Returns the list, or null.
void* LoadTextureLibrary(const std::string& path);
// Releases the loaded library (the next use loads the file again); the store keeps its blocks.
void ReleaseTextureLibrary();
// Message 505 with the library path: a textured frame has no texture because the library file
// could not be loaded. Returns 1 when a box was shown.
int ShowTextureMissing(TV32HWND owner = 0);

// Size of the texture data (record and colour entries) of item n, copied to destination when
// it is given; 0 when there is no such item.
int32_t ReadLibraryItem(void* list, int32_t n, void* destination);
// A new texture object from item n into *object. Returns 1, or 0 (no item or no memory).
int LoadLibraryTexture(void* list, int32_t n, void** object);
// Loads the library when needed; when *textureData is null, fills it with library texture n.
void EnsureTexture(int32_t n, void** textureData);

} // namespace borderfx
