#pragma once
// Libraries that are not among Windows' known DLLs are loaded at run time from
// the system folder alone: a DLL of the same name beside the program (in
// Downloads, say) or in the current folder is never the one that runs.
#include <windows.h>

// Makes the system folder the only place LoadLibrary looks for a bare name,
// for this process and for what the system loads on its behalf. The program
// calls this before anything else.
void RestrictDllSearchToSystem();

// The library from the system folder, or null (GetLastError tells why).
HMODULE LoadSystemLibrary(const char* name);

// A function of a library loaded by LoadSystemLibrary; null when the library
// or the function is missing.
template <class Fn>
Fn SystemProc(HMODULE library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}
