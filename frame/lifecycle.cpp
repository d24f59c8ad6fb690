// Load and unload: each family that keeps state sets it up and tears it down
// from here, in a fixed order.
#include "frame/lifecycle.h"

#include "bits/bitmap.h"
#include "text/translate.h"

void OnLoad(ParamBlock*) {
    ResetTranslation();  // translation tables back to the identity
}

void OnUnload(ParamBlock*) {
    FreeAllBitMaps();  // every bit map's memory goes back to the host
}
