#pragma once
// Long-lived objects hang on the main window as named properties; every part
// finds them here, never through a global.
#include <windows.h>

template <class T>
T* FindObject(HWND window, const char* propName) {
    if (!window) return nullptr;
    return static_cast<T*>(GetPropA(window, propName));
}

template <class T>
bool AttachObject(HWND window, const char* propName, T* object) {
    return SetPropA(window, propName, static_cast<HANDLE>(object)) != FALSE;
}

// Removes the property and hands the object back for its owner to free.
template <class T>
T* DetachObject(HWND window, const char* propName) {
    return static_cast<T*>(RemovePropA(window, propName));
}
