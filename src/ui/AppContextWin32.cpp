#include "ui/AppContextWin32.h"

namespace {
AppContext g_context;  // static storage: zero-filled before the entry runs
}

AppContext& App() { return g_context; }
