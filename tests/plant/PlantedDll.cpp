// A planted iphlpapi.dll: says it was loaded, and offers nothing else. A
// program that imported IP Helper would fail to start with it; one that
// loads it from the system folder never sees it.
#include "PlantMarker.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) WritePlantMarker("dll", self);
    return TRUE;
}
