#pragma once
// Handing back a reference taken from the texture cache.

#include "core/DataManager.h"

// Lowers the record's count and forgets it. The last reference is kept by the cache: at zero the cache would
// load the file anew into the same record and lose the texture it holds.
inline void DropTextureReference(TextureRecord*& record)
{
    if (record && record->referenceCount > 1)
        --record->referenceCount;
    record = nullptr;
}
