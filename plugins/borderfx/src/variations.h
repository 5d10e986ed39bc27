// Texture variations: the runtime's random generator, the eight neighbours derived from a middle
// texture, and random textures. Plain functions; the dialog that shows them builds on these.
#pragma once
#include <cstdint>

namespace borderfx {

// The C runtime's rand(): state = state * 214013 + 2531011 (mod 2^32), result (state >> 16) &
// 0x7FFF. The state starts at 1 in every thread and is never reseeded, so each thread sees the
// same sequence.
int32_t RuntimeRand();
// Puts this thread's state back to 1 (for tests that need a fresh sequence in a reused thread).
void RuntimeRandReset();

// The nine texture objects of the 3 x 3 grid (4 is the middle) and their predefined colour-table
// numbers (0..52).
struct VariationSet {
    void* objects[9] = {};
    int32_t tables[9] = {};
};

// Copies the 64-byte record of from into to, except bytes 56 and 60 (to keeps its colours).
void CopyTextureParams(void* to, const void* from);

// Derives cells 0..3 and 5..8 from the middle cell by the fixed per-cell rules. Returns 1, or 0
// when an object is missing or a colour table cannot be set.
int MakeVariations(VariationSet& set);

// Fills *middle with a random texture: a random item of the loaded texture library when there is
// one (loading it from the path last built when needed), else thirteen random parameters (the
// colour table is kept). Returns 1, or 0 when *middle is null.
int RandomizeTexture(void** middle);

// Fills the record with thirteen random numbers drawn in this order: bytes 4 to 52.
void RandomTextureParams(void* record);

} // namespace borderfx
