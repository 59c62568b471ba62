#pragma once
// Handles the program opens stay out of the processes it starts: a tool, or
// a program the tool starts, that held one could outlive the program and keep
// what it stands for, such as the wake socket's port.
#include <windows.h>

inline void KeepOutOfChildren(HANDLE handle) { SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0); }

// A socket is a handle too; the system makes it inheritable by default.
template <class Socket>
inline void KeepSocketOutOfChildren(Socket socket) {
    KeepOutOfChildren(reinterpret_cast<HANDLE>(socket));
}
