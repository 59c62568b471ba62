#pragma once
// Text onto the clipboard, the one way every copy command does it.
#include <windows.h>

#include <string>

enum class ClipboardCopy { Copied, NotOpened, NoMemory, NotLocked, Refused };

// Puts `text` (code page 932, lines ending in CR LF) on the clipboard as
// CF_TEXT in place of what was there; what went wrong otherwise.
ClipboardCopy CopyTextToClipboard(HWND owner, const std::string& text);
